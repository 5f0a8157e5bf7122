#include "Smf.h"

#include <algorithm>
#include <cstring>

namespace zsynth {

namespace {

struct Raw {
  uint64_t tick;
  uint32_t tempo;  // microseconds per quarter note, for tempo events; 0 otherwise
  SmfEvent event;
};

uint32_t Be(const uint8_t* p, int n) {
  uint32_t v = 0;
  for (int i = 0; i < n; ++i) v = v << 8 | p[i];
  return v;
}

bool VarLen(const uint8_t*& p, const uint8_t* end, uint32_t& v) {
  v = 0;
  for (int i = 0; i < 4; ++i) {
    if (p >= end) return false;
    const uint8_t b = *p++;
    v = v << 7 | (b & 0x7F);
    if (!(b & 0x80)) return true;
  }
  return false;
}

// One track's events into `out`; false when it is cut short or malformed.
bool ReadTrack(const uint8_t* p, const uint8_t* end, std::vector<Raw>& out, SmfSong& song) {
  uint64_t tick = 0;
  uint8_t running = 0;
  while (p < end) {
    if (out.size() > kMaxSmfEvents) return false;  // the caller names it
    uint32_t delta;
    if (!VarLen(p, end, delta) || p >= end) return false;
    tick += delta;
    Raw r{tick, 0, {}};
    uint8_t status = *p;
    if (status == 0xFF) {
      if (end - p < 2) return false;
      const uint8_t type = p[1];
      p += 2;
      uint32_t len;
      if (!VarLen(p, end, len) || len > static_cast<size_t>(end - p)) return false;
      if (type == 0x2F) return true;
      if (type == 0x51 && len == 3) {
        r.tempo = std::max<uint32_t>(Be(p, 3), 1);
        out.push_back(r);
      }
      p += len;
      continue;
    }
    if (status == 0xF0 || status == 0xF7) {
      ++p;
      uint32_t len;
      if (!VarLen(p, end, len) || len > static_cast<size_t>(end - p)) return false;
      if (status == 0xF0) {
        r.event.sysexAt = static_cast<uint32_t>(song.sysex.size());
        song.sysex.push_back(0xF0);
        song.sysex.insert(song.sysex.end(), p, p + len);
        r.event.sysexSize = len + 1;
        out.push_back(r);
      }
      p += len;
      running = 0;
      continue;
    }
    if (status & 0x80) {
      ++p;
      running = status;
    } else if (!running) {
      return false;
    } else {
      status = running;
    }
    const int n = (status & 0xE0) == 0xC0 ? 1 : 2;
    if (status >= 0xF0 || end - p < n) return false;
    r.event.packed = status | (p[0] & 0x7Fu) << 8 | (n == 2 ? (p[1] & 0x7Fu) << 16 : 0);
    p += n;
    out.push_back(r);
  }
  return false;  // no end-of-track
}

}  // namespace

bool ReadSmf(const uint8_t* data, size_t size, SmfSong& song, std::string& reason) {
  song = SmfSong();
  if (size < 14 || std::memcmp(data, "MThd", 4) != 0 || Be(data + 4, 4) < 6) {
    reason = "not a standard MIDI file";
    return false;
  }
  const uint32_t format = Be(data + 8, 2), tracks = Be(data + 10, 2), division = Be(data + 12, 2);
  if (format > 1 || division == 0 || (division & 0x8000)) {
    reason = "unsupported format or time division";
    return false;
  }
  std::vector<Raw> raw;
  // 64-bit offsets: a header or track length near 4 GiB must not wrap back into the file.
  uint64_t at = 8 + uint64_t(Be(data + 4, 4));
  for (uint32_t t = 0; t < tracks; ++t) {
    if (at > size || size - at < 8) {
      reason = "fewer tracks than the header declares";
      return false;
    }
    const uint64_t len = Be(data + at + 4, 4);
    if (len > size - at - 8) {
      reason = "track runs past the end of the file";
      return false;
    }
    if (std::memcmp(data + at, "MTrk", 4) == 0 && !ReadTrack(data + at + 8, data + at + 8 + len, raw, song)) {
      reason = raw.size() > kMaxSmfEvents ? "more than " + std::to_string(kMaxSmfEvents) + " events" : "malformed track";
      return false;
    }
    at += 8 + len;
  }
  std::stable_sort(raw.begin(), raw.end(), [](const Raw& a, const Raw& b) { return a.tick < b.tick; });
  double seconds = 0.0, perTick = 0.5 / division;
  uint64_t lastTick = 0;
  for (const Raw& r : raw) {
    seconds += (r.tick - lastTick) * perTick;
    lastTick = r.tick;
    if (r.tempo) {
      perTick = r.tempo * 1e-6 / division;
      continue;
    }
    SmfEvent e = r.event;
    e.seconds = seconds;
    song.events.push_back(e);
  }
  song.seconds = seconds;
  return true;
}

}  // namespace zsynth
