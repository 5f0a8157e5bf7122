// The speaker-interface library, bound at run time. Bound by the loader, a missing
// Kv20DAL.dll would keep the whole control panel from starting, and without a word
// under Wine; bound here, a missing library or export is an interface whose every
// call fails, which the pages already handle (the equaliser group is hidden).
#pragma once
#include <windows.h>

#include <cstdint>

#include "card/kv20dal/Kv20Types.h"

// Member functions take the object in ECX on i686; x86_64 has one convention for all calls.
#ifdef _WIN64
#define KV20_MEMBER_CALL
#else
#define KV20_MEMBER_CALL __thiscall
#endif

class CSpeakerLink {
 public:
  CSpeakerLink();
  ~CSpeakerLink();
  CSpeakerLink(const CSpeakerLink&) = delete;
  CSpeakerLink& operator=(const CSpeakerLink&) = delete;

  // The library's members; kKvFailed without the library.
  TKvRetCode Initialize(TAudioInfo* info, uint32_t* reserved);
  TKvRetCode GetStatus(AUDIOSTATUS* status, uint32_t options);
  TKvRetCode SetConfig(const AUDIOCONFIG* config, uint32_t options);
  bool Bound() const { return m_bConstructed; }

 private:
  using Ctor = void(KV20_MEMBER_CALL*)(void*);
  using Init = TKvRetCode(KV20_MEMBER_CALL*)(void*, TAudioInfo*, uint32_t*);
  using Status = TKvRetCode(KV20_MEMBER_CALL*)(void*, AUDIOSTATUS*, uint32_t);
  using Config = TKvRetCode(KV20_MEMBER_CALL*)(void*, const AUDIOCONFIG*, uint32_t);

  HMODULE m_hLib = nullptr;
  Ctor m_dtor = nullptr;
  Init m_init = nullptr;
  Status m_status = nullptr;
  Config m_config = nullptr;
  bool m_bConstructed = false;
  // The library's object, allocated by its caller.
  alignas(8) unsigned char m_object[kSpeakerObjectSize] = {};
};
