#include "player/demos/common/VoiceSet.h"

namespace demo {

namespace {
const GUID kIid3DBuffer = {0x279AFA86, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
}  // namespace

void CVoiceSet::MakeCopy(IDirectSound* device, IDirectSoundBuffer* original, bool first, Copy& copy) {
  if (!device || !original) return;
  // What a failed call hands back is not ours to release: only a success is kept.
  IDirectSoundBuffer* buffer = nullptr;
  if (first) {
    // The first voice is the original itself: a device has no voice to spare for it.
    original->AddRef();
    buffer = original;
  } else if (FAILED(device->DuplicateSoundBuffer(original, &buffer)) || !buffer) {
    return;
  }
  *copy.buffer.out() = buffer;
  IDirectSound3DBuffer* view = nullptr;
  if (FAILED(buffer->QueryInterface(kIid3DBuffer, reinterpret_cast<void**>(&view))) || !view) {
    copy.buffer.Reset();
    return;
  }
  *copy.view.out() = view;
}

int CVoiceSet::Create(const char* path, int count) {
  Release();
  m_engine = m_sound.CurrentEngine();
  if (m_sound.LoadAndPlay(0, path, m_engine) < 0) return 0;
  // The source itself stays silent: it is the original the voices are copied from.
  m_sound.StopSource(0);
  IDirectSoundBuffer* original[2] = {m_sound.SourceBuffer(0, kEngineDS3D), m_sound.SourceBuffer(0, kEngineTrivox)};
  WAVEFORMATEX format{};
  DSBCAPS caps{};
  caps.dwSize = sizeof caps;
  IDirectSoundBuffer* any = original[m_engine] ? original[m_engine] : original[1 - m_engine];
  if (!any || FAILED(any->GetFormat(&format, sizeof format, nullptr)) || FAILED(any->GetCaps(&caps))) return 0;
  m_rate = format.nSamplesPerSec;
  const DWORD frames = format.nBlockAlign ? caps.dwBufferBytes / format.nBlockAlign : 0;
  m_voices.reserve(static_cast<size_t>(count));
  for (int v = 0; v < count; ++v) {
    Voice voice;
    for (int e = 0; e < 2; ++e) MakeCopy(m_sound.Device(e), original[e], v == 0, voice.side[e]);
    // A voice that cannot sound on the current engine ends the set: a device is full.
    if (!voice.side[m_engine].view.get()) break;
    // Copies that start together would sound as one: spread their starting points.
    const DWORD at = frames ? (static_cast<DWORD>(v) * 7919u % frames) * format.nBlockAlign : 0;
    for (Copy& c : voice.side)
      if (c.buffer.get()) c.buffer->SetCurrentPosition(at);
    m_voices.push_back(std::move(voice));
  }
  return Count();
}

void CVoiceSet::Play(int v, bool on) {
  if (!Valid(v)) return;
  Voice& voice = m_voices[static_cast<size_t>(v)];
  voice.playing = on;
  for (int e = 0; e < 2; ++e) {
    IDirectSoundBuffer* b = voice.side[e].buffer.get();
    if (!b) continue;
    if (on && e == m_engine)
      b->Play(0, 0, DSBPLAY_LOOPING);
    else
      b->Stop();
  }
}

void CVoiceSet::Apply(Voice& voice, int engine) const {
  Copy& c = voice.side[engine];
  if (!c.view.get()) return;
  c.view->SetPosition(voice.at.pos.x, voice.at.pos.y, voice.at.pos.z, DS3D_IMMEDIATE);
  c.view->SetVelocity(voice.at.vel.x, voice.at.vel.y, voice.at.vel.z, DS3D_IMMEDIATE);
  c.buffer->SetFrequency(voice.frequency ? voice.frequency : m_rate);
  c.buffer->SetVolume(voice.volume);
}

void CVoiceSet::SelectEngine(int engine) {
  if (engine == m_engine) return;
  m_engine = engine;
  // The engine's listener (and its current engine) follow, too.
  m_sound.SelectEngine(0, engine, 0);
  for (int v = 0; v < Count(); ++v) {
    Voice& voice = m_voices[static_cast<size_t>(v)];
    Apply(voice, engine);
    if (voice.playing) Play(v, true);
  }
}

void CVoiceSet::Place(int v, const Sample& s) {
  if (!Valid(v)) return;
  Voice& voice = m_voices[static_cast<size_t>(v)];
  voice.at = s;
  Copy& c = voice.side[m_engine];
  if (!c.view.get()) return;
  c.view->SetPosition(s.pos.x, s.pos.y, s.pos.z, DS3D_IMMEDIATE);
  c.view->SetVelocity(s.vel.x, s.vel.y, s.vel.z, DS3D_IMMEDIATE);
}

void CVoiceSet::SetPitch(int v, float ratio) {
  if (!Valid(v)) return;
  const DWORD hz = static_cast<DWORD>(static_cast<float>(m_rate) * ratio + 0.5f);
  Voice& voice = m_voices[static_cast<size_t>(v)];
  voice.frequency = hz < DSBFREQUENCY_MIN ? DSBFREQUENCY_MIN : hz > DSBFREQUENCY_MAX ? DSBFREQUENCY_MAX : hz;
  if (IDirectSoundBuffer* b = voice.side[m_engine].buffer.get()) b->SetFrequency(voice.frequency);
}

void CVoiceSet::SetVolume(int v, LONG millibels) {
  if (!Valid(v)) return;
  Voice& voice = m_voices[static_cast<size_t>(v)];
  voice.volume = millibels;
  if (IDirectSoundBuffer* b = voice.side[m_engine].buffer.get()) b->SetVolume(millibels);
}

void CVoiceSet::Release() {
  for (Voice& voice : m_voices)
    for (Copy& c : voice.side)
      if (c.buffer.get()) c.buffer->Stop();
  m_voices.clear();
}

}  // namespace demo
