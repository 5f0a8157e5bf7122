// Built and run on the host while the Windows tests build: the test bank of square waves as
// SoundFont 3, encoded with libvorbis (which has no Windows build here), written as a C++
// array for the MIDI page's capture test.
//   make_sf3_banks OUTPUT.h
#include <cstdio>

#include "TestBankSf3.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  zsynth::testbank::Recipe recipe = zsynth::testbank::SquareBank();
  recipe.name = "squares, compressed";
  const std::vector<uint8_t> sf3 = zsynth::testbank::WriteSf3(recipe);
  std::FILE* f = std::fopen(argv[1], "w");
  if (!f) return 1;
  std::fprintf(f, "// Made by make_sf3_banks.cpp: SquareBank() as SoundFont 3.\n#pragma once\n");
  std::fprintf(f, "static const unsigned char kSquareSf3[%zu] = {", sf3.size());
  for (size_t i = 0; i < sf3.size(); ++i) std::fprintf(f, "%s%u,", i % 24 ? "" : "\n", sf3[i]);
  std::fprintf(f, "\n};\n");
  return std::fclose(f) == 0 ? 0 : 1;
}
