// Kv20DAL: the card's speaker-interface library. Its state is the card's, so every
// process sees the same equaliser.
#pragma once
#include "card/kv20dal/Kv20Types.h"

#ifdef KV20DAL_BUILD
#define KV20DAL_API __declspec(dllexport)
#else
#define KV20DAL_API __declspec(dllimport)
#endif

class KV20DAL_API CSpeakerInterface {
 public:
  CSpeakerInterface();
  ~CSpeakerInterface();
  CSpeakerInterface(const CSpeakerInterface&) = delete;
  CSpeakerInterface& operator=(const CSpeakerInterface&) = delete;

  // Fills the board id and the analog inputs. The second argument is not used.
  TKvRetCode Initialize(TAudioInfo* info, uint32_t* reserved);
  // Fills flags, input and status; the other bytes are left as they are.
  TKvRetCode GetStatus(AUDIOSTATUS* status, uint32_t options);
  // Applies the fields named by the mask; 0 when the card refuses.
  TKvRetCode SetConfig(const AUDIOCONFIG* config, uint32_t options);

 private:
  void* m_hCard;  // the card's control device, or null before Initialize
  uint32_t m_bReady;
  uint32_t m_reserved[3];
};

static_assert(sizeof(CSpeakerInterface) == kSpeakerObjectSize, "the caller allocates kSpeakerObjectSize bytes");
