#include "card/waveout/WaveOutput.h"

#include <algorithm>

#include "shared/wave/WaveFormatEx.h"

namespace kv22 {

bool WaveOutput::open(uint32_t rate, const WaveQueuePolicy& policy, std::string& why) {
  close();
  if (policy.blockFrames == 0 || policy.minBlocks < 1 || policy.minBlocks > policy.maxBlocks ||
      policy.maxBlocks > kMaxBlocks) {
    why = "no such wave queue";
    return false;
  }
  m_policy = policy;
  m_event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!m_event) {
    why = "no event";
    return false;
  }
  WAVEFORMATEX fmt = PcmWaveFormat(rate, 2, 16);
  const MMRESULT r =
      waveOutOpen(&m_wave, WAVE_MAPPER, &fmt, reinterpret_cast<DWORD_PTR>(m_event), 0, CALLBACK_EVENT);
  if (r != MMSYSERR_NOERROR) {
    m_wave = nullptr;
    why = "waveOutOpen failed (" + std::to_string(r) + ")";
    return false;
  }
  const size_t blockSamples = static_cast<size_t>(policy.blockFrames) * 2;
  m_pcm.assign(blockSamples * static_cast<size_t>(policy.maxBlocks), 0);
  for (int i = 0; i < policy.maxBlocks; ++i) {
    WAVEHDR& h = m_hdr[i];
    h = WAVEHDR{};
    h.lpData = reinterpret_cast<LPSTR>(m_pcm.data() + blockSamples * static_cast<size_t>(i));
    h.dwBufferLength = policy.blockFrames * 4;
    if (waveOutPrepareHeader(m_wave, &h, sizeof h) != MMSYSERR_NOERROR) {
      why = "waveOutPrepareHeader failed";
      return false;  // close() unprepares what was prepared
    }
  }
  m_head = m_queued = m_spares = 0;
  for (int i = policy.maxBlocks - 1; i >= 0; --i) m_spare[m_spares++] = i;
  m_depth.store(policy.minBlocks);
  return true;
}

void WaveOutput::close() {
  if (m_wave) {
    waveOutReset(m_wave);
    for (WAVEHDR& h : m_hdr)
      if (h.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(m_wave, &h, sizeof h);
    waveOutClose(m_wave);
    m_wave = nullptr;
  }
  for (WAVEHDR& h : m_hdr) h = WAVEHDR{};
  if (m_event) CloseHandle(m_event);
  m_event = nullptr;
}

int16_t* WaveOutput::nextBlock() {
  if (m_queued >= m_depth.load() || m_spares == 0) return nullptr;
  return reinterpret_cast<int16_t*>(m_hdr[m_spare[m_spares - 1]].lpData);
}

bool WaveOutput::write() {
  const int i = m_spare[--m_spares];
  m_queue[(m_head + m_queued++) % kMaxBlocks] = i;
  WAVEHDR& h = m_hdr[i];
  h.dwFlags &= ~WHDR_DONE;
  if (waveOutWrite(m_wave, &h, sizeof h) == MMSYSERR_NOERROR) return true;
  h.dwFlags |= WHDR_DONE;  // never reached the output: back to the spares, not a stalled queue
  return false;
}

void WaveOutput::wait(DWORD ms) {
  WaitForSingleObject(m_event, ms);
  int played = 0;
  while (m_queued > 0 && (m_hdr[m_queue[m_head]].dwFlags & WHDR_DONE)) {
    m_spare[m_spares++] = m_queue[m_head];
    m_head = (m_head + 1) % kMaxBlocks;
    --m_queued;
    ++played;
  }
  if (m_policy.depthAfter)
    m_depth.store(std::clamp(m_policy.depthAfter(m_depth.load(), played), m_policy.minBlocks, m_policy.maxBlocks));
}

void WaveOutput::wake() {
  if (m_event) SetEvent(m_event);
}

}  // namespace kv22
