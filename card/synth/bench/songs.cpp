#include "songs.h"

#include <algorithm>
#include <tuple>

namespace zsynth::bench {

namespace {
constexpr int kDivision = 480;  // ticks per quarter note

// Events at absolute ticks, sorted and written as one track of a format 0 file.
class Writer {
 public:
  void at(uint32_t tick, std::vector<uint8_t> bytes) { m_events.emplace_back(tick, m_n++, std::move(bytes)); }
  void note(uint32_t tick, uint32_t len, int ch, int key, int vel) {
    at(tick, {static_cast<uint8_t>(0x90 | ch), static_cast<uint8_t>(key), static_cast<uint8_t>(vel)});
    at(tick + len, {static_cast<uint8_t>(0x80 | ch), static_cast<uint8_t>(key), 0});
  }
  void cc(uint32_t tick, int ch, int c, int v) {
    at(tick, {static_cast<uint8_t>(0xB0 | ch), static_cast<uint8_t>(c), static_cast<uint8_t>(v)});
  }
  void program(int ch, int p) { at(0, {static_cast<uint8_t>(0xC0 | ch), static_cast<uint8_t>(p)}); }

  std::vector<uint8_t> finish() {
    std::stable_sort(m_events.begin(), m_events.end(),
                     [](const auto& a, const auto& b) { return std::tie(std::get<0>(a), std::get<1>(a)) < std::tie(std::get<0>(b), std::get<1>(b)); });
    std::vector<uint8_t> track = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};  // 120 bpm
    uint32_t last = 0;
    for (auto& [tick, order, bytes] : m_events) {
      varLen(track, tick - last);
      last = tick;
      track.insert(track.end(), bytes.begin(), bytes.end());
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    std::vector<uint8_t> f = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, kDivision >> 8, kDivision & 255, 'M', 'T', 'r', 'k'};
    const uint32_t n = static_cast<uint32_t>(track.size());
    f.insert(f.end(), {static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
    f.insert(f.end(), track.begin(), track.end());
    return f;
  }

 private:
  static void varLen(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t buf[5];
    int n = 0;
    do buf[n++] = v & 0x7F; while (v >>= 7);
    while (n--) out.push_back(static_cast<uint8_t>(buf[n] | (n ? 0x80 : 0)));
  }
  std::vector<std::tuple<uint32_t, uint32_t, std::vector<uint8_t>>> m_events;
  uint32_t m_n = 0;
};

// Sustained chords of `notes` notes over sustaining GM programs, changing every bar. The
// General MIDI banks layer these programs: two voices a note.
std::vector<uint8_t> Dense(int notes) {
  Writer w;
  const int programs[4] = {48, 19, 52, 89};  // strings, organ, choir, pad: looped samples
  for (int ch = 0; ch < 4; ++ch) w.program(ch, programs[ch]);
  const int bars = 8, bar = 4 * kDivision;
  for (int b = 0; b < bars; ++b) {
    for (int v = 0; v < notes; ++v) {
      const int ch = v % 4;
      const int key = 28 + (v * 7 + b * 5) % 64;
      w.note(b * bar + v * 3, bar - 40, ch, key, 70 + (v * 13) % 50);
    }
  }
  w.cc(0, 0, 91, 60);
  return w.finish();
}

// A little band: drums, bass, chords and a tune, 16 bars at 120 bpm.
std::vector<uint8_t> Band() {
  Writer w;
  w.program(0, 0);   // piano chords
  w.program(1, 33);  // bass
  w.program(2, 73);  // flute tune
  const int q = kDivision, bars = 16;
  const int roots[4] = {48, 53, 55, 45};
  const int tune[8] = {72, 74, 76, 79, 77, 76, 74, 72};
  for (int b = 0; b < bars; ++b) {
    const uint32_t t = b * 4 * q;
    const int root = roots[b % 4];
    for (int k : {0, 4, 7}) w.note(t, 4 * q - 20, 0, root + 12 + k + (b % 4 == 3 ? -1 : 0) * (k == 4), 70);
    for (int i = 0; i < 4; ++i) w.note(t + i * q, q - 30, 1, root - 12 + (i == 2 ? 7 : 0), 100);
    for (int i = 0; i < 8; ++i) w.note(t + i * q / 2, q / 2 - 10, 2, tune[(i + b) % 8], 85);
    for (int i = 0; i < 8; ++i) {
      w.note(t + i * q / 2, q / 4, 9, (i % 4 == 3) ? 46 : 42, 80);  // hi-hats, closed and open
      if (i % 4 == 0) w.note(t + i * q / 2, q / 4, 9, 36, 110);    // kick
      if (i % 4 == 2) w.note(t + i * q / 2, q / 4, 9, 38, 100);    // snare
    }
    if (b % 4 == 0) w.note(t, 2 * q, 9, 49, 90);  // crash
  }
  return w.finish();
}
}  // namespace

std::vector<Song> MakeSongs() {
  return {{"dense32", Dense(16)}, {"dense64", Dense(32)}, {"gm-band", Band()}};
}

}  // namespace zsynth::bench
