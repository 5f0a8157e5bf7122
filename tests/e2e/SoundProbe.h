// What the capture tests play and measure: a Trivox device of the test's own process, the
// synthesizer's report and a note's tail, and band powers of the recording.
#pragma once
#include <windows.h>

#include <dsound.h>
#include <mmsystem.h>

#include <cstdint>
#include <string>
#include <vector>

#include "E2eSupport.h"
#include "shared/card/CardProtocol.h"

namespace e2e {

// A Trivox device of this process; its engine traces to the file TRIVOX_TRACE names.
class TrivoxDevice {
 public:
  TrivoxDevice();
  ~TrivoxDevice();
  TrivoxDevice(const TrivoxDevice&) = delete;
  TrivoxDevice& operator=(const TrivoxDevice&) = delete;
  bool Ok() const { return ok_; }
  // White noise looped from a 3D source at (x, 0, z).
  bool PlayNoise(float x, float z);

 private:
  IDirectSound* ds_ = nullptr;
  IDirectSoundBuffer* primary_ = nullptr;
  IDirectSoundBuffer* source_ = nullptr;
  IDirectSound3DBuffer* source3d_ = nullptr;
  bool ok_ = false;
};

// Per band of `edges` (Hz), the mean power of each channel over `blocks` FFT blocks of the
// capture from its next frame on, waiting for them to be recorded.
struct Bands {
  std::vector<double> left, right;
};
constexpr size_t kBandFft = 8192;
Bands MeasureBands(const Capture& capture, const std::vector<double>& edges, int blocks = 8);
double Db(double power);

// A request to the card's wavetable device, as the MIDI page sends it; CardSet's is 4 bytes.
bool CardRequest(uint32_t code, const void* in, DWORD size);
bool CardSet(uint32_t code, uint32_t value);
// What the synthesizer last reported to the card (hasSynth 0 without a report).
kv22::MidiState SynthReport();
bool WaitForSynth(uint32_t effects, uint32_t reverb, uint32_t mode);

// Notes on the synthesizer's port, recorded.
class NotePlayer {
 public:
  explicit NotePlayer(Capture& capture) : capture_(capture) {}
  ~NotePlayer();
  NotePlayer(const NotePlayer&) = delete;
  NotePlayer& operator=(const NotePlayer&) = delete;
  // Opens the first MIDI output and waits until the synthesizer has its bank.
  bool Open();
  bool Short(DWORD message);
  struct Take {
    long long on = -1, off = -1;
  };
  // One note held for `ms`: where it was heard and where it was released.
  Take Note(uint8_t program, uint8_t key, int ms);
  // Energy of the recording from 150 to 650 ms after a release.
  double Tail(const Take& t);
  HMIDIOUT Handle() const { return out_; }
  void Close();

 private:
  Capture& capture_;
  HMIDIOUT out_ = nullptr;
};

// Mono (left) samples of frames [from, to), and their mean energy.
std::vector<double> LeftChannel(const Capture& cap, long long from, long long to);
double Energy(const std::vector<double>& x);

}  // namespace e2e
