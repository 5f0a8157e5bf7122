#include "card/kv20dal/Kv20DAL.h"

#include <windows.h>

#include "shared/card/CardClient.h"

namespace {

bool Call(void* card, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize) {
  return kv22::CardClient::Exchange(static_cast<HANDLE>(card), code, in, inSize, out, outSize);
}

}  // namespace

CSpeakerInterface::CSpeakerInterface() : m_hCard(nullptr), m_bReady(0), m_reserved{} {}

CSpeakerInterface::~CSpeakerInterface() {
  if (m_hCard) CloseHandle(static_cast<HANDLE>(m_hCard));
}

TKvRetCode CSpeakerInterface::Initialize(TAudioInfo* info, uint32_t*) {
  m_bReady = 0;
  if (!info) return kKvFailed;
  if (!m_hCard) {
    HANDLE h = kv22::CardClient::OpenDevice();
    if (h == INVALID_HANDLE_VALUE) return kKvFailed;
    m_hCard = h;
  }
  kv22::EqInfo eq{};
  if (!Call(m_hCard, kv22::kCtlEqInitialize, nullptr, 0, &eq, sizeof eq)) return kKvFailed;
  ZeroMemory(info, sizeof *info);
  info->boardId = static_cast<uint16_t>(eq.boardId);
  const uint32_t count = eq.inputCount < kAudioInfoInputs ? eq.inputCount : kAudioInfoInputs;
  info->inputCount = static_cast<uint8_t>(count);
  for (uint32_t i = 0; i < count; ++i) lstrcpynA(info->inputNames[i], eq.names[i], kAudioInfoNameSize);
  m_bReady = 1;
  return kKvOk;
}

TKvRetCode CSpeakerInterface::GetStatus(AUDIOSTATUS* status, uint32_t) {
  if (!m_bReady || !status) return kKvFailed;
  kv22::EqStatus st{};
  if (!Call(m_hCard, kv22::kCtlEqGetStatus, nullptr, 0, &st, sizeof st)) return kKvFailed;
  status->flags = static_cast<uint16_t>(st.flags);
  status->input = st.input;
  status->status = static_cast<uint8_t>(st.status);
  return kKvOk;
}

TKvRetCode CSpeakerInterface::SetConfig(const AUDIOCONFIG* config, uint32_t) {
  if (!m_bReady || !config) return kKvFailed;
  kv22::EqRequest req{config->mask, config->flags, config->input};
  return Call(m_hCard, kv22::kCtlEqSetConfig, &req, sizeof req, nullptr, 0) ? kKvOk : kKvFailed;
}
