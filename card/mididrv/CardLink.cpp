// The control thread: every 40 ms it tells the card what the ports carried and what the
// synthesizer plays, and brings the synthesizer the card's settings and bank. Banks load
// here, never on the render thread.
#include <atomic>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <string>

#include "BankLoad.h"
#include "shared/card/CardClient.h"
#include "card/mididrv/Ports.h"
#include "card/mididrv/SynthRunner.h"
#include "shared/settings/Catalogue.h"

namespace zmidi {

namespace {

constexpr DWORD kPollMs = 40;

HANDLE g_synthReady = CreateEventA(nullptr, TRUE, FALSE, nullptr);  // first bank and settings given
std::atomic<uint32_t> g_bytes[kv22::kMidiPortCount];
std::mutex g_eventLock;
kv22::MidiEvent g_events[kv22::kMidiReportEvents];
uint32_t g_eventCount;

// Moves the traffic since the last report into it.
void TakeTraffic(kv22::MidiReport& r) {
  for (uint32_t p = 0; p < kv22::kMidiPortCount; ++p) r.bytes[p] = g_bytes[p].exchange(0);
  std::lock_guard<std::mutex> g(g_eventLock);
  r.eventCount = g_eventCount;
  for (uint32_t i = 0; i < g_eventCount; ++i) r.events[i] = g_events[i];
  g_eventCount = 0;
}

std::string DefaultBankPath() {
  char dir[MAX_PATH] = {};
  GetSystemDirectoryA(dir, sizeof dir);
  return std::string(dir) + "\\" + catalogue::kDefaultBankFile;
}

// This thread runs inside whatever program plays MIDI: nothing a bank does may end it.
// LoadBankFile already turns a shortage of memory into a refusal; this catches the rest.
zsynth::LoadResult LoadGuarded(const std::string& path) {
  try {
    return zsynth::LoadBankFile(path);
  } catch (const std::exception& e) {
    return zsynth::LoadResult{nullptr, std::string("failed while loading: ") + e.what()};
  }
}

class SynthControl {
 public:
  // The card's view, or null without a card (the synthesizer's own defaults then).
  void Update(SynthRunner& runner, const kv22::WavetableView* view) {
    std::string want = view && view->bank[0] ? std::string(view->bank, strnlen(view->bank, kv22::kBankPathMax))
                                             : DefaultBankPath();
    if (want != m_requested) {
      m_requested = want;
      zsynth::LoadResult r = LoadGuarded(want);
      if (r.bank) {
        runner.Host().setBank(r.bank);
        m_loaded = want;
      } else {
        OutputDebugStringA(("zephra midi: bank " + want + " not loaded: " + r.reason + "\n").c_str());
      }
    }
    zsynth::SynthSettings s;
    if (view) {
      if (view->setMask & kv22::kWtSetEffects) s.effects = view->effects != 0;
      if (view->setMask & kv22::kWtSetReverb) s.reverb = kv22::ClampEffectLevel(view->reverb);
      if (view->setMask & kv22::kWtSetChorus) s.chorus = kv22::ClampEffectLevel(view->chorus);
      if ((view->setMask & kv22::kWtSetMode) && kv22::SoftSynthModeValid(view->mode)) s.mode = view->mode;
    }
    if (!m_sent || s.effects != m_last.effects || s.reverb != m_last.reverb || s.chorus != m_last.chorus ||
        s.mode != m_last.mode) {
      runner.Host().setSettings(s);
      m_last = s;
      m_sent = true;
    }
  }
  void Describe(SynthRunner& runner, kv22::MidiSynthInfo& info) const {
    zsynth::SynthStatus st = runner.Host().status();
    zsynth::SynthSettings use = runner.Host().settingsInUse();
    info.activeVoices = st.activeVoices;
    info.peakVoices = st.peakVoices;
    info.maxVoices = st.maxVoices;
    info.effects = use.effects ? 1 : 0;
    info.reverb = use.reverb;
    info.chorus = use.chorus;
    info.mode = use.mode;
    std::memset(info.bank, 0, sizeof info.bank);
    std::memcpy(info.bank, m_loaded.c_str(), m_loaded.size() < kv22::kBankPathMax ? m_loaded.size() : kv22::kBankPathMax - 1);
  }

 private:
  std::string m_requested;
  std::string m_loaded;
  zsynth::SynthSettings m_last;
  bool m_sent = false;
};

DWORD WINAPI LinkThread(void*) {
  std::unique_ptr<kv22::CardClient> card;
  SynthControl synth;
  auto report = std::make_unique<kv22::MidiReport>();
  for (;;) {
    if (!card) {
      card = std::make_unique<kv22::CardClient>();
      if (!card->Open()) card.reset();
    }
    std::memset(report.get(), 0, sizeof *report);
    TakeTraffic(*report);
    SynthRunner* runner = SynthRunner::Existing();
    if (runner) {
      report->flags |= kv22::kMidiHasSynth;
      synth.Describe(*runner, report->synth);
    }
    kv22::WavetableView view{};
    bool haveView = card && card->ReportMidi(*report, view);
    if (card && !haveView) card.reset();  // gone or refused: open afresh next time
    if (runner) {
      synth.Update(*runner, haveView ? &view : nullptr);
      SetEvent(g_synthReady);
    }
    Sleep(kPollMs);
  }
}

}  // namespace

void ReportTraffic() {
  kv22::CardClient card;
  if (!card.Open()) return;
  auto report = std::make_unique<kv22::MidiReport>();
  std::memset(report.get(), 0, sizeof *report);
  TakeTraffic(*report);
  kv22::WavetableView view;
  card.ReportMidi(*report, view);
}

bool WaitSynthReady(DWORD ms) { return g_synthReady && WaitForSingleObject(g_synthReady, ms) == WAIT_OBJECT_0; }

void CountBytes(kv22::MidiPort port, uint32_t n) { g_bytes[port].fetch_add(n); }

void NoteMessage(kv22::MidiPort port, const uint8_t* bytes, uint32_t length) {
  kv22::MidiEvent e{};
  e.port = port;
  e.length = length;
  for (uint32_t i = 0; i < length && i < kv22::kMidiEventBytes; ++i) e.bytes[i] = bytes[i];
  std::lock_guard<std::mutex> g(g_eventLock);
  if (g_eventCount == kv22::kMidiReportEvents) {  // keep the newest
    for (uint32_t i = 1; i < kv22::kMidiReportEvents; ++i) g_events[i - 1] = g_events[i];
    --g_eventCount;
  }
  g_events[g_eventCount++] = e;
}

void StartCardLink() {
  static std::once_flag once;
  std::call_once(once, [] {
    HANDLE t = CreateThread(nullptr, 0, &LinkThread, nullptr, 0, nullptr);
    if (t) CloseHandle(t);
  });
}

}  // namespace zmidi
