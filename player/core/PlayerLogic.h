// The player's arithmetic: motion paths, the mapping between the room and its view,
// the height sliders, drag velocities and the shared wave list. No platform headers.
#pragma once
#include <cstddef>

struct Point3 {
  float x, y, z;
};

inline bool operator==(const Point3& a, const Point3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
inline bool operator!=(const Point3& a, const Point3& b) { return !(a == b); }

enum EngineKind { kEngineDS3D = 0, kEngineTrivox = 1 };

enum MotionPath { kPathClockwise = 0, kPathOverheadLR = 1, kPathOverheadFB = 2, kPathBounceRFLB = 3 };

struct SourceMotion {
  float angle = 0.0f;
  float step = 0.031415969f;  // bit pattern 0x3D00AE08
  int path = kPathClockwise;
  int moving = 0;
  int restart = 0;
  int playing = 0;
};

constexpr float kPathRadius = 1.98f;
constexpr float kRoomLimit = 3.0f;

// The point of a path at parameter a; an unknown path stays at the centre.
Point3 PathPoint(int path, float a);

// One animation tick of the angle: a pending restart puts it back to 0, then a moving
// source steps on (or wraps to 0 after a full turn). Returns true when the source moves.
bool AdvanceMotion(SourceMotion& m);

// The point sent to the room view: x / 3, -z / 3, y / 3.
Point3 ViewPointOf(const Point3& room);

// Pixel place and dot size of a view point in a view of the given client size.
float PixelX(int width, float vx);
float PixelY(int height, float vy);
float DotDiameter(float heightValue);

// A dragged view point (x / width, y / height, height value) back in the room.
Point3 RoomFromNormalised(const Point3& n);

// The vertical height sliders run from -300 (top, y = 3) to 300 (bottom, y = -3).
constexpr int kSliderMin = -300;
constexpr int kSliderMax = 300;
int SliderPosFromHeight(float y);
float HeightFromSlider(int pos);

// Velocity of a dragged source from its place at the last two ticks.
Point3 DragVelocity(const Point3& current, const Point3& previous);

// The right drag: one step of 0.01 per mouse move, kept within [-1, 1].
float StepHeight(float heightValue, bool up);

// The wave files both sources choose from: up to 50 full paths of 255 characters.
class WaveList {
 public:
  static constexpr int kMax = 50;
  static constexpr std::size_t kPathChars = 256;

  int Count() const { return m_count; }
  const char* Path(int i) const { return i >= 0 && i < m_count ? m_paths[i] : ""; }
  // Byte-for-byte search; -1 when absent.
  int Find(const char* path) const;
  // The index of the path, adding it when new; -1 when the list is full or the path
  // does not fit. *added tells whether it was new.
  int Add(const char* path, bool* added);

 private:
  int m_count = 0;
  char m_paths[kMax][kPathChars] = {};
};

// The file name part of a path (after the last backslash, slash or colon).
const char* BareFileName(const char* path);
