#include "Sf3.h"

#include <algorithm>
#include <cstring>
#include <memory>

#define STB_VORBIS_HEADER_ONLY 1
#define STB_VORBIS_NO_STDIO 1
#define STB_VORBIS_NO_PUSHDATA_API 1
#include <stb_vorbis.h>

namespace zsynth {
namespace {

// The decoder's working memory, one arena for every sample: a stream whose set-up needs more
// is refused, however its header is made.
constexpr int kArenaBytes = 4 << 20;
// Frames one byte of a stream may decode to. Real banks stay near 10; a crafted stream of
// near-empty packets could claim thousands and exhaust memory.
constexpr uint64_t kFramesPerByte = 256;
constexpr uint64_t kMaxPoolFrames = uint64_t(1) << 28;  // 512 MB of 16-bit samples

uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Walks the stream's Ogg pages: each whole, the last one marked as the end of the stream.
// A file cut inside a sample fails here, before the decoder sees it. Collects the second
// packet, the comment header, on the way.
const char* CheckPages(const uint8_t* p, size_t size, std::vector<uint8_t>& comment) {
  size_t at = 0;
  bool ended = false;
  int packet = 0;
  comment.clear();
  while (at < size) {
    if (ended) return "has data after its last page";
    if (size - at < 27 || std::memcmp(p + at, "OggS", 4) != 0) return "is not an Ogg stream or is cut short";
    const size_t segments = p[at + 26];
    if (size - at < 27 + segments) return "is cut short";
    const uint8_t* lacing = p + at + 27;
    const uint8_t* body = lacing + segments;
    size_t length = 0;
    for (size_t i = 0; i < segments; ++i) length += lacing[i];
    if (size - at - 27 - segments < length) return "is cut short";
    for (size_t i = 0; i < segments && packet < 2; body += lacing[i++]) {
      if (packet == 1) comment.insert(comment.end(), body, body + lacing[i]);
      if (lacing[i] < 255) ++packet;
    }
    ended = (p[at + 5] & 4) != 0;
    at += 27 + segments + length;
  }
  return ended ? nullptr : "is cut short: no end-of-stream page";
}

// The decoder trusts the comment header's lengths and writes as far as they say: every one
// must lie inside the packet before it sees them.
bool CommentFits(const std::vector<uint8_t>& c) {
  const size_t n = c.size();
  if (n < 11 || c[0] != 3 || std::memcmp(c.data() + 1, "vorbis", 6) != 0) return false;
  size_t at = 7;
  const uint64_t vendor = Le32(c.data() + at);
  if (vendor > n - at - 4 || n - at - 4 - vendor < 4) return false;
  at += 4 + size_t(vendor);
  const uint64_t count = Le32(c.data() + at);
  at += 4;
  if (count > (n - at) / 4) return false;
  for (uint64_t i = 0; i < count; ++i) {
    if (n - at < 4) return false;
    const uint64_t len = Le32(c.data() + at);
    if (len > n - at - 4) return false;
    at += 4 + size_t(len);
  }
  return at < n;  // the framing bit
}

struct Closer {
  void operator()(stb_vorbis* v) const { stb_vorbis_close(v); }
};

// What the decoder's error means to whoever made the bank; the number for whoever debugs it.
std::string DecoderError(int error) {
  const char* what = error == VORBIS_outofmem                 ? "needs more decoder memory than a bank may use"
                     : error == VORBIS_feature_not_supported ? "uses a Vorbis feature the decoder lacks"
                     : error == VORBIS_too_many_channels     ? "has more than two channels"
                     : error == VORBIS_unexpected_eof        ? "is cut short"
                     : error >= VORBIS_missing_capture_pattern ? "is not a well-formed Ogg Vorbis stream"
                     : error >= VORBIS_invalid_setup         ? "holds damaged Vorbis data"
                                                             : "does not decode";
  return std::string(what) + " (decoder error " + std::to_string(error) + ")";
}

bool Fail(const SampleSpan& s, const std::string& why, std::string& reason) {
  reason = "compressed sample '" + s.name + "' " + why;
  return false;
}

// Appends the stream's frames to `pcm`; `arena` is the decoder's memory.
bool DecodeOne(const uint8_t* p, size_t size, const SampleSpan& s, std::vector<char>& arena,
               std::vector<int16_t>& pcm, std::string& reason) {
  std::vector<uint8_t> comment;
  if (const char* why = CheckPages(p, size, comment)) return Fail(s, why, reason);
  if (!CommentFits(comment)) return Fail(s, "has a damaged comment header", reason);
  stb_vorbis_alloc alloc{arena.data(), int(arena.size())};
  int error = 0;
  std::unique_ptr<stb_vorbis, Closer> v(stb_vorbis_open_memory(p, int(size), &error, &alloc));
  if (!v) return Fail(s, DecoderError(error), reason);
  const stb_vorbis_info info = stb_vorbis_get_info(v.get());
  if (info.channels != 1) return Fail(s, "has " + std::to_string(info.channels) + " channels, not one", reason);
  const uint64_t limit = std::min<uint64_t>(kFramesPerByte * size + 65536, kMaxPoolFrames - pcm.size());
  const size_t first = pcm.size();
  short chunk[4096];
  for (;;) {
    short* channels[1] = {chunk};
    const int got = stb_vorbis_get_samples_short(v.get(), 1, channels, int(sizeof(chunk) / sizeof(chunk[0])));
    if (got <= 0) break;
    if (pcm.size() - first + size_t(got) > limit) return Fail(s, "decodes to more than its share of memory", reason);
    pcm.insert(pcm.end(), chunk, chunk + got);
  }
  const int late = stb_vorbis_get_error(v.get());
  if (late != VORBIS__no_error && late != VORBIS_need_more_data) {
    return Fail(s, DecoderError(late), reason);
  }
  if (pcm.size() == first) return Fail(s, "decodes to no samples", reason);
  return true;
}

}  // namespace

bool DecodeSf3Samples(const uint8_t* smpl, size_t smplSize, std::vector<SampleSpan>& samples,
                      std::vector<int16_t>& pcm, std::string& reason) {
  pcm.clear();
  std::vector<char> arena;
  for (SampleSpan& s : samples) {
    if (s.type & kSampleRom) continue;
    const bool vorbis = (s.type & kSampleVorbis) != 0;
    const uint64_t scale = vorbis ? 1 : 2;  // bytes per unit of start and end
    if (s.start >= s.end || uint64_t(s.end) * scale > smplSize) {
      return Fail(s, "points outside the sample data", reason);
    }
    const uint32_t at = uint32_t(pcm.size());
    if (vorbis) {
      if (arena.empty()) arena.resize(kArenaBytes);
      if (!DecodeOne(smpl + s.start, s.end - s.start, s, arena, pcm, reason)) return false;
    } else {
      if (pcm.size() + (s.end - s.start) > kMaxPoolFrames) return Fail(s, "does not fit in memory", reason);
      for (uint32_t i = s.start; i < s.end; ++i) pcm.push_back(int16_t(smpl[2 * i] | smpl[2 * i + 1] << 8));
      s.loopStart -= std::min(s.loopStart, s.start);  // as a compressed sample's: from the first frame
      s.loopEnd -= std::min(s.loopEnd, s.start);
    }
    s.start = at;
    s.end = uint32_t(pcm.size());
    s.loopStart = uint32_t(std::min<uint64_t>(uint64_t(at) + s.loopStart, s.end));
    s.loopEnd = uint32_t(std::min<uint64_t>(uint64_t(at) + s.loopEnd, s.end));
  }
  return true;
}

}  // namespace zsynth
