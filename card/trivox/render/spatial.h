// Geometry of one source against the listener, in DirectSound's left-handed
// frame (x right, y up, z front), and the gain laws the renderer applies.
#pragma once

#include <cstdint>

namespace trivox {

struct Vec3 {
  float x = 0, y = 0, z = 0;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

constexpr float kSpeedOfSound = 343.3f;  // m/s
constexpr float kMaxPitch = 8.0f;        // Doppler ratio ceiling

enum class Mode3D : uint8_t { Normal, HeadRelative, Disabled };

struct ListenerState {
  Vec3 position;
  Vec3 velocity;
  Vec3 front{0, 0, 1};
  Vec3 top{0, 1, 0};
  float distanceFactor = 1.0f;  // metres per unit
  float rolloffFactor = 1.0f;
  float dopplerFactor = 1.0f;
};

struct Source3D {
  Vec3 position;
  Vec3 velocity;
  float minDistance = 1.0f;
  float maxDistance = 1.0e9f;
  Mode3D mode = Mode3D::Normal;
  uint32_t coneInside = 360;  // degrees
  uint32_t coneOutside = 360;
  Vec3 coneOrientation{0, 0, 1};
  int32_t coneOutsideVolume = 0;  // millibels
  bool muteAtMaxDistance = false;
};

struct Placement {
  float azimuth = 0;    // radians, clockwise from the front (right is +pi/2)
  float elevation = 0;  // radians, up is +pi/2
  float distance = 0;   // units
  float gain = 1;       // distance law and cone, linear
  float pitch = 1;      // Doppler ratio
  bool centred = false; // no direction: at the listener, or 3D disabled
};

// 1 for 0 mB, 0 for -10000 mB (silence) and below.
float millibelsToGain(int32_t mB);
float distanceGain(float distance, float minDistance, float maxDistance, float rolloff);
// Angle in degrees between the cone's axis and the direction towards the listener.
float coneGain(float angleDeg, uint32_t inside, uint32_t outside, int32_t outsideVolume);
// Ratio of heard to emitted frequency; u points from the listener to the source.
float dopplerPitch(Vec3 u, Vec3 listenerVel, Vec3 sourceVel, float dopplerFactor, float distanceFactor);

Placement place(const ListenerState& listener, const Source3D& source);

}  // namespace trivox
