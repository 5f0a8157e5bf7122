#include "sf3.h"

#include "Riff.h"
#include "TestBankSf3.h"

namespace zsynth::bench {
namespace {
using riff::Fourcc;

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// Appends a chunk (or list) header, the body, the pad byte.
void Chunk(std::vector<uint8_t>& out, uint32_t id, const uint8_t* body, size_t size, uint32_t type = 0) {
  const size_t at = out.size();
  out.resize(at + 8);
  Put32(out, at, id);
  Put32(out, at + 4, uint32_t(size + (type ? 4 : 0)));
  if (type) out.resize(at + 12), Put32(out, at + 8, type);
  out.insert(out.end(), body, body + size);
  if (size & 1) out.push_back(0);
}

}  // namespace

std::vector<uint8_t> Sf2ToSf3(const std::vector<uint8_t>& sf2, float quality, std::string& reason) {
  riff::Chunk body;
  if (!riff::OpenForm(sf2.data(), sf2.size(), Fourcc("sfbk"), body, reason)) return {};
  riff::Chunk info{}, sdta{}, pdta{}, smpl{};
  riff::Walker w(body);
  for (riff::Chunk c; w.Next(c);) {
    if (c.type == Fourcc("INFO")) info = c;
    if (c.type == Fourcc("sdta")) sdta = c;
    if (c.type == Fourcc("pdta")) pdta = c;
  }
  if (!info.data || !sdta.data || !pdta.data) return reason = "not a whole SoundFont 2", std::vector<uint8_t>{};
  riff::Walker ws(sdta);
  for (riff::Chunk c; ws.Next(c);)
    if (c.id == Fourcc("smpl")) smpl = c;
  std::vector<uint8_t> infoOut, pdtaOut, ogg;
  riff::Walker wi(info);
  for (riff::Chunk c; wi.Next(c);) {
    std::vector<uint8_t> b(c.data, c.data + c.size);
    if (c.id == Fourcc("ifil") && b.size() >= 2) b[0] = 3, b[1] = 0;
    Chunk(infoOut, c.id, b.data(), b.size());
  }
  riff::Walker wp(pdta);
  for (riff::Chunk c; wp.Next(c);) {
    std::vector<uint8_t> b(c.data, c.data + c.size);
    for (size_t r = 0; c.id == Fourcc("shdr") && r + 2 * 46 <= b.size(); r += 46) {  // all but the terminal
      uint8_t* h = b.data() + r;
      const uint32_t start = riff::Le32(h + 20), end = riff::Le32(h + 24), rate = riff::Le32(h + 36);
      const uint16_t type = riff::Le16(h + 44);
      if ((type & 0x8000) || start >= end || uint64_t(end) * 2 > smpl.size) continue;
      std::vector<int16_t> pcm(end - start);
      for (uint32_t i = start; i < end; ++i) pcm[i - start] = riff::LeS16(smpl.data + 2 * i);
      const uint32_t at = uint32_t(ogg.size());
      testbank::EncodeVorbis(pcm.data(), pcm.size(), rate ? rate : 44100, quality, ogg);
      Put32(b, r + 28, riff::Le32(h + 28) - start);  // loops count from the sample's first frame
      Put32(b, r + 32, riff::Le32(h + 32) - start);
      Put32(b, r + 20, at);
      Put32(b, r + 24, uint32_t(ogg.size()));
      b[r + 44] = uint8_t(type | 0x10);
    }
    Chunk(pdtaOut, c.id, b.data(), b.size());
  }
  std::vector<uint8_t> smplOut, inner, out;
  Chunk(smplOut, Fourcc("smpl"), ogg.data(), ogg.size());
  Chunk(inner, Fourcc("LIST"), infoOut.data(), infoOut.size(), Fourcc("INFO"));
  Chunk(inner, Fourcc("LIST"), smplOut.data(), smplOut.size(), Fourcc("sdta"));
  Chunk(inner, Fourcc("LIST"), pdtaOut.data(), pdtaOut.size(), Fourcc("pdta"));
  Chunk(out, Fourcc("RIFF"), inner.data(), inner.size(), Fourcc("sfbk"));
  return out;
}

}  // namespace zsynth::bench
