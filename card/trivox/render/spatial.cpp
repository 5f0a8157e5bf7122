#include "spatial.h"

#include <algorithm>
#include <cmath>

namespace trivox {
namespace {

constexpr float kPi = 3.14159265358979f;

Vec3 normalised(Vec3 v, Vec3 fallback) {
  const float len = std::sqrt(dot(v, v));
  if (!(len > 1e-20f) || !std::isfinite(len)) return fallback;
  return v * (1.0f / len);
}

}  // namespace

float millibelsToGain(int32_t mB) {
  if (mB <= -10000) return 0.0f;
  if (mB >= 0) return 1.0f;
  return std::pow(10.0f, static_cast<float>(mB) / 2000.0f);
}

float distanceGain(float distance, float minDistance, float maxDistance, float rolloff) {
  const float minD = std::max(minDistance, 1e-9f);
  const float maxD = std::max(maxDistance, minD);
  const float d = std::clamp(distance, minD, maxD);
  return minD / (minD + std::max(rolloff, 0.0f) * (d - minD));
}

float coneGain(float angleDeg, uint32_t inside, uint32_t outside, int32_t outsideVolume) {
  const float in = static_cast<float>(std::min<uint32_t>(inside, 360)) * 0.5f;
  const float out = std::max(static_cast<float>(std::min<uint32_t>(outside, 360)) * 0.5f, in);
  if (angleDeg <= in) return 1.0f;
  if (angleDeg >= out || out <= in) return millibelsToGain(outsideVolume);
  const float t = (angleDeg - in) / (out - in);
  return millibelsToGain(static_cast<int32_t>(std::lround(t * static_cast<float>(outsideVolume))));
}

float dopplerPitch(Vec3 u, Vec3 listenerVel, Vec3 sourceVel, float dopplerFactor, float distanceFactor) {
  if (dopplerFactor <= 0.0f) return 1.0f;
  const float c = kSpeedOfSound / std::max(distanceFactor, 1e-9f);
  // Faster than sound: hold just below it rather than divide by zero.
  const float vl = std::clamp(dot(listenerVel, u) * dopplerFactor, -c, c * 0.99f);
  const float vs = std::clamp(dot(sourceVel, u) * dopplerFactor, -c * 0.99f, c);
  const float p = (c + vl) / (c + vs);
  return std::clamp(p, 0.0f, kMaxPitch);
}

Placement place(const ListenerState& listener, const Source3D& source) {
  Placement p;
  if (source.mode == Mode3D::Disabled) {
    p.centred = true;
    return p;
  }
  Vec3 rel, vl, vs, coneAxis;
  if (source.mode == Mode3D::HeadRelative) {
    // Everything is already in the listener's frame, and it moves with the head.
    rel = source.position;
    vl = Vec3{};
    vs = source.velocity;
    coneAxis = source.coneOrientation;
  } else {
    const Vec3 f = normalised(listener.front, Vec3{0, 0, 1});
    Vec3 up = listener.top - f * dot(listener.top, f);
    up = normalised(up, std::fabs(f.y) < 0.9f ? Vec3{0, 1, 0} : Vec3{0, 0, -1});
    up = normalised(up - f * dot(up, f), Vec3{0, 1, 0});
    const Vec3 r = cross(up, f);
    const Vec3 w = source.position - listener.position;
    auto local = [&](Vec3 v) { return Vec3{dot(v, r), dot(v, up), dot(v, f)}; };
    rel = local(w);
    vl = local(listener.velocity);
    vs = local(source.velocity);
    coneAxis = local(source.coneOrientation);
  }
  p.distance = std::sqrt(dot(rel, rel));
  if (!std::isfinite(p.distance)) p.distance = 0.0f;
  const Vec3 u = normalised(rel, Vec3{0, 0, 0});
  p.centred = !(p.distance > 1e-6f);
  if (!p.centred) {
    p.azimuth = std::atan2(u.x, u.z);
    p.elevation = std::asin(std::clamp(u.y, -1.0f, 1.0f));
  }
  p.gain = distanceGain(p.distance, source.minDistance, source.maxDistance, listener.rolloffFactor);
  if (source.muteAtMaxDistance && p.distance > source.maxDistance) p.gain = 0.0f;
  if (source.coneInside < 360 || source.coneOutside < 360) {
    const Vec3 axis = normalised(coneAxis, Vec3{0, 0, 0});
    if (dot(axis, axis) > 0.0f && !p.centred) {
      const float c = std::clamp(dot(axis, u * -1.0f), -1.0f, 1.0f);
      p.gain *= coneGain(std::acos(c) * 180.0f / kPi, source.coneInside, source.coneOutside,
                         source.coneOutsideVolume);
    }
  }
  p.pitch = p.centred ? 1.0f : dopplerPitch(u, vl, vs, listener.dopplerFactor, listener.distanceFactor);
  return p;
}

}  // namespace trivox
