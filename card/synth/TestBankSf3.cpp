#include "TestBankSf3.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <stdexcept>

namespace zsynth {
namespace testbank {

// The usual libvorbis encoding loop.
void EncodeVorbis(const int16_t* pcm, size_t frames, uint32_t rate, float quality, std::vector<uint8_t>& out) {
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, 1, long(rate), quality) != 0) {
    vorbis_info_clear(&vi);
    throw std::runtime_error("libvorbis refuses the sample rate");
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block vb;
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 1);
  ogg_packet header, comment, code;
  vorbis_analysis_headerout(&vd, &vc, &header, &comment, &code);
  ogg_page page;
  auto put = [&out](const ogg_page& pg) {
    out.insert(out.end(), pg.header, pg.header + pg.header_len);
    out.insert(out.end(), pg.body, pg.body + pg.body_len);
  };
  ogg_stream_packetin(&os, &header);  // alone on the first page, as Vorbis demands
  while (ogg_stream_flush(&os, &page)) put(page);
  ogg_stream_packetin(&os, &comment);
  ogg_stream_packetin(&os, &code);
  while (ogg_stream_flush(&os, &page)) put(page);
  auto drain = [&] {
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&vd, &packet)) {
        ogg_stream_packetin(&os, &packet);
        while (ogg_stream_pageout(&os, &page)) put(page);
      }
    }
  };
  constexpr size_t kChunk = 1024;
  for (size_t at = 0; at < frames; at += kChunk) {
    const size_t n = std::min(kChunk, frames - at);
    float** buf = vorbis_analysis_buffer(&vd, int(n));
    for (size_t i = 0; i < n; ++i) buf[0][i] = pcm[at + i] / 32768.0f;
    vorbis_analysis_wrote(&vd, int(n));
    drain();
  }
  vorbis_analysis_wrote(&vd, 0);  // the end: the last packet carries end-of-stream
  drain();
  while (ogg_stream_flush(&os, &page)) put(page);
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
}

std::vector<uint8_t> WriteSf3(const Recipe& recipe, float quality) {
  std::vector<uint8_t> smpl;
  std::vector<SampleData> data;
  for (const Sample& s : recipe.samples) {
    const uint32_t at = uint32_t(smpl.size());
    EncodeVorbis(s.pcm.data(), s.pcm.size(), s.rate, quality, smpl);
    data.push_back(SampleData{at, uint32_t(smpl.size()), 0, 1 | 0x10});
  }
  return WriteSoundFont(recipe, 3, smpl, data);
}

}  // namespace testbank
}  // namespace zsynth
