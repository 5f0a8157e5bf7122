// Records of the speaker-interface library, as the control panel exchanges them.
// Pure layout: no <windows.h>, checked on the host as well.
#pragma once
#include <stddef.h>
#include <stdint.h>

typedef int32_t TKvRetCode;  // 1 = success
constexpr TKvRetCode kKvOk = 1;
constexpr TKvRetCode kKvFailed = 0;

constexpr uint16_t kBoardWithSpeakerEq = 0x2200;
constexpr unsigned kAudioInfoInputs = 6;
constexpr unsigned kAudioInfoNameSize = 64;

#pragma pack(push, 1)
struct TAudioInfo {
  uint8_t reserved0[258];
  uint16_t boardId;
  uint8_t inputCount;
  char inputNames[kAudioInfoInputs][kAudioInfoNameSize];  // zero-terminated
  uint8_t reserved1;
};

// The library's AUDIOSTATUS and AUDIOCONFIG share this layout.
struct SpeakerEqRecord {
  uint32_t mask;  // before SetConfig: kEqFieldOnOff, kEqFieldInput
  uint8_t reserved0[8];
  uint16_t flags;  // bit 0: equaliser on
  uint16_t reserved1;
  int32_t input;   // -1 none, else an entry of TAudioInfo::inputNames
  uint8_t status;  // kEqUnavailableNow
  uint8_t reserved2[7];
};
#pragma pack(pop)

typedef SpeakerEqRecord AUDIOSTATUS;
typedef SpeakerEqRecord AUDIOCONFIG;

// The library's object, which its caller allocates: a handle and four words, 20 bytes in the
// 32-bit build and the platform's own size in the 64-bit one. Both sides size it from here.
struct SpeakerObjectLayout {
  void* card;
  uint32_t words[4];
};
constexpr size_t kSpeakerObjectSize = sizeof(SpeakerObjectLayout);
#if !defined(_WIN64) && !defined(__x86_64__)
static_assert(kSpeakerObjectSize == 20, "the 32-bit object is 20 bytes");
#endif

constexpr uint32_t kEqFieldOnOff = 0x10;
constexpr uint32_t kEqFieldInput = 0x20;
constexpr uint16_t kEqFlagOn = 0x01;
constexpr uint8_t kEqUnavailableNow = 0x08;

static_assert(sizeof(TAudioInfo) == 646, "TAudioInfo is 646 bytes");
static_assert(offsetof(TAudioInfo, boardId) == 258, "board id at 258");
static_assert(offsetof(TAudioInfo, inputCount) == 260, "input count at 260");
static_assert(offsetof(TAudioInfo, inputNames) == 261, "input names at 261");
static_assert(sizeof(SpeakerEqRecord) == 28, "SpeakerEqRecord is 28 bytes");
static_assert(offsetof(SpeakerEqRecord, mask) == 0, "mask at 0");
static_assert(offsetof(SpeakerEqRecord, flags) == 12, "flags at 12");
static_assert(offsetof(SpeakerEqRecord, input) == 16, "input at 16");
static_assert(offsetof(SpeakerEqRecord, status) == 20, "status at 20");
