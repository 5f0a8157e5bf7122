// The 3D views of the buffers: IDirectSound3DBuffer on a secondary buffer,
// IDirectSound3DListener on the primary one.
#include <algorithm>
#include <cmath>

#include "ds_rules.h"
#include "objects.h"

namespace trivox {
namespace {

D3DVECTOR vec(Vec3 v) {
  D3DVECTOR d;
  d.x = v.x;
  d.y = v.y;
  d.z = v.z;
  return d;
}
Vec3 vec(const D3DVECTOR& d) { return {d.x, d.y, d.z}; }

Mode3D mode(DWORD m) { return m == DS3DMODE_HEADRELATIVE ? Mode3D::HeadRelative : m == DS3DMODE_DISABLE ? Mode3D::Disabled : Mode3D::Normal; }
DWORD mode(Mode3D m) { return m == Mode3D::HeadRelative ? DS3DMODE_HEADRELATIVE : m == Mode3D::Disabled ? DS3DMODE_DISABLE : DS3DMODE_NORMAL; }

}  // namespace

// --- IDirectSound3DBuffer ---

template <typename F>
HRESULT Buffer::Buffer3D::set(DWORD apply, F change) {
  if (!ds::validApply(apply)) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> g(m_owner->m_device->lock());
  if (apply == DS3D_DEFERRED) {
    if (!m_owner->m_hasDeferred) m_owner->m_deferred = m_owner->m_params.source;
    change(m_owner->m_deferred);
    m_owner->m_hasDeferred = true;
  } else {
    change(m_owner->m_params.source);
    if (m_owner->m_hasDeferred) change(m_owner->m_deferred);  // a later commit keeps this value
    m_owner->apply();
  }
  return DS_OK;
}

HRESULT Buffer::Buffer3D::GetAllParameters(LPDS3DBUFFER p) {
  if (!p || p->dwSize != sizeof(DS3DBUFFER)) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> g(m_owner->m_device->lock());
  const Source3D& s = m_owner->view();
  p->vPosition = vec(s.position);
  p->vVelocity = vec(s.velocity);
  p->dwInsideConeAngle = s.coneInside;
  p->dwOutsideConeAngle = s.coneOutside;
  p->vConeOrientation = vec(s.coneOrientation);
  p->lConeOutsideVolume = s.coneOutsideVolume;
  p->flMinDistance = s.minDistance;
  p->flMaxDistance = s.maxDistance;
  p->dwMode = mode(s.mode);
  return DS_OK;
}

HRESULT Buffer::Buffer3D::SetAllParameters(LPCDS3DBUFFER p, DWORD apply) {
  if (!p || p->dwSize != sizeof(DS3DBUFFER)) return DSERR_INVALIDPARAM;
  if (!ds::validCone(p->dwInsideConeAngle, p->dwOutsideConeAngle) || !ds::validConeVolume(p->lConeOutsideVolume) ||
      !ds::validDistance(p->flMinDistance) || !ds::validDistance(p->flMaxDistance) || !ds::validMode(p->dwMode))
    return DSERR_INVALIDPARAM;
  const DS3DBUFFER v = *p;
  return set(apply, [&](Source3D& s) {
    s.position = vec(v.vPosition);
    s.velocity = vec(v.vVelocity);
    s.coneInside = v.dwInsideConeAngle;
    s.coneOutside = v.dwOutsideConeAngle;
    s.coneOrientation = vec(v.vConeOrientation);
    s.coneOutsideVolume = v.lConeOutsideVolume;
    s.minDistance = v.flMinDistance;
    s.maxDistance = v.flMaxDistance;
    s.mode = mode(v.dwMode);
  });
}

HRESULT Buffer::Buffer3D::GetConeAngles(LPDWORD inside, LPDWORD outside) {
  if (!inside || !outside) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> g(m_owner->m_device->lock());
  *inside = m_owner->view().coneInside;
  *outside = m_owner->view().coneOutside;
  return DS_OK;
}

HRESULT Buffer::Buffer3D::SetConeAngles(DWORD inside, DWORD outside, DWORD apply) {
  if (!ds::validCone(inside, outside)) return DSERR_INVALIDPARAM;
  return set(apply, [&](Source3D& s) {
    s.coneInside = inside;
    s.coneOutside = outside;
  });
}

HRESULT Buffer::Buffer3D::GetConeOrientation(LPD3DVECTOR v) {
  if (!v) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> g(m_owner->m_device->lock());
  *v = vec(m_owner->view().coneOrientation);
  return DS_OK;
}

HRESULT Buffer::Buffer3D::SetConeOrientation(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) {
  if (!ds::finite3(x, y, z)) return DSERR_INVALIDPARAM;
  return set(apply, [&](Source3D& s) { s.coneOrientation = {x, y, z}; });
}

HRESULT Buffer::Buffer3D::GetConeOutsideVolume(LPLONG v) {
  if (!v) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> g(m_owner->m_device->lock());
  *v = m_owner->view().coneOutsideVolume;
  return DS_OK;
}

HRESULT Buffer::Buffer3D::SetConeOutsideVolume(LONG v, DWORD apply) {
  if (!ds::validConeVolume(v)) return DSERR_INVALIDPARAM;
  return set(apply, [&](Source3D& s) { s.coneOutsideVolume = v; });
}

HRESULT Buffer::Buffer3D::GetMaxDistance(LPD3DVALUE d) {
  if (!d) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> g(m_owner->m_device->lock());
  *d = m_owner->view().maxDistance;
  return DS_OK;
}

HRESULT Buffer::Buffer3D::SetMaxDistance(D3DVALUE d, DWORD apply) {
  if (!ds::validDistance(d)) return DSERR_INVALIDPARAM;
  return set(apply, [&](Source3D& s) { s.maxDistance = d; });
}

HRESULT Buffer::Buffer3D::GetMinDistance(LPD3DVALUE d) {
  if (!d) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> g(m_owner->m_device->lock());
  *d = m_owner->view().minDistance;
  return DS_OK;
}

HRESULT Buffer::Buffer3D::SetMinDistance(D3DVALUE d, DWORD apply) {
  if (!ds::validDistance(d)) return DSERR_INVALIDPARAM;
  return set(apply, [&](Source3D& s) { s.minDistance = d; });
}

HRESULT Buffer::Buffer3D::GetMode(LPDWORD m) {
  if (!m) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> g(m_owner->m_device->lock());
  *m = mode(m_owner->view().mode);
  return DS_OK;
}

HRESULT Buffer::Buffer3D::SetMode(DWORD m, DWORD apply) {
  if (!ds::validMode(m)) return DSERR_INVALIDPARAM;
  return set(apply, [&](Source3D& s) { s.mode = mode(m); });
}

HRESULT Buffer::Buffer3D::GetPosition(LPD3DVECTOR v) {
  if (!v) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> g(m_owner->m_device->lock());
  *v = vec(m_owner->view().position);
  return DS_OK;
}

HRESULT Buffer::Buffer3D::SetPosition(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) {
  if (!ds::finite3(x, y, z)) return DSERR_INVALIDPARAM;
  return set(apply, [&](Source3D& s) { s.position = {x, y, z}; });
}

HRESULT Buffer::Buffer3D::GetVelocity(LPD3DVECTOR v) {
  if (!v) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> g(m_owner->m_device->lock());
  *v = vec(m_owner->view().velocity);
  return DS_OK;
}

HRESULT Buffer::Buffer3D::SetVelocity(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) {
  if (!ds::finite3(x, y, z)) return DSERR_INVALIDPARAM;
  return set(apply, [&](Source3D& s) { s.velocity = {x, y, z}; });
}

// --- IDirectSound3DListener ---

template <typename F>
HRESULT Buffer::Listener3D::set(DWORD apply, F change) {
  if (!ds::validApply(apply)) return DSERR_INVALIDPARAM;
  Device* d = m_owner->m_device;
  std::lock_guard<std::mutex> g(d->lock());
  if (apply == DS3D_DEFERRED) {
    change(d->deferredListener());
    d->markListenerDeferred();
  } else {
    change(d->listener());
    change(d->deferredListener());
    d->applyListener();
  }
  return DS_OK;
}

HRESULT Buffer::Listener3D::GetAllParameters(LPDS3DLISTENER p) {
  if (!p || p->dwSize != sizeof(DS3DLISTENER)) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> g(m_owner->m_device->lock());
  const ListenerState& l = m_owner->m_device->deferredListener();
  p->vPosition = vec(l.position);
  p->vVelocity = vec(l.velocity);
  p->vOrientFront = vec(l.front);
  p->vOrientTop = vec(l.top);
  p->flDistanceFactor = l.distanceFactor;
  p->flRolloffFactor = l.rolloffFactor;
  p->flDopplerFactor = l.dopplerFactor;
  return DS_OK;
}

HRESULT Buffer::Listener3D::SetAllParameters(LPCDS3DLISTENER p, DWORD apply) {
  if (!p || p->dwSize != sizeof(DS3DLISTENER)) return DSERR_INVALIDPARAM;
  if (!ds::validDistanceFactor(p->flDistanceFactor) || !ds::validFactor(p->flRolloffFactor) ||
      !ds::validFactor(p->flDopplerFactor))
    return DSERR_INVALIDPARAM;
  const DS3DLISTENER v = *p;
  return set(apply, [&](ListenerState& l) {
    l.position = vec(v.vPosition);
    l.velocity = vec(v.vVelocity);
    l.front = vec(v.vOrientFront);
    l.top = vec(v.vOrientTop);
    l.distanceFactor = v.flDistanceFactor;
    l.rolloffFactor = v.flRolloffFactor;
    l.dopplerFactor = v.flDopplerFactor;
  });
}

HRESULT Buffer::Listener3D::GetDistanceFactor(LPD3DVALUE f) {
  if (!f) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> g(m_owner->m_device->lock());
  *f = m_owner->m_device->deferredListener().distanceFactor;
  return DS_OK;
}

HRESULT Buffer::Listener3D::SetDistanceFactor(D3DVALUE f, DWORD apply) {
  if (!ds::validDistanceFactor(f)) return DSERR_INVALIDPARAM;
  return set(apply, [&](ListenerState& l) { l.distanceFactor = f; });
}

HRESULT Buffer::Listener3D::GetDopplerFactor(LPD3DVALUE f) {
  if (!f) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> g(m_owner->m_device->lock());
  *f = m_owner->m_device->deferredListener().dopplerFactor;
  return DS_OK;
}

HRESULT Buffer::Listener3D::SetDopplerFactor(D3DVALUE f, DWORD apply) {
  if (!ds::validFactor(f)) return DSERR_INVALIDPARAM;
  return set(apply, [&](ListenerState& l) { l.dopplerFactor = f; });
}

HRESULT Buffer::Listener3D::GetRolloffFactor(LPD3DVALUE f) {
  if (!f) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> g(m_owner->m_device->lock());
  *f = m_owner->m_device->deferredListener().rolloffFactor;
  return DS_OK;
}

HRESULT Buffer::Listener3D::SetRolloffFactor(D3DVALUE f, DWORD apply) {
  if (!ds::validFactor(f)) return DSERR_INVALIDPARAM;
  return set(apply, [&](ListenerState& l) { l.rolloffFactor = f; });
}

HRESULT Buffer::Listener3D::GetOrientation(LPD3DVECTOR front, LPD3DVECTOR top) {
  if (!front || !top) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> g(m_owner->m_device->lock());
  *front = vec(m_owner->m_device->deferredListener().front);
  *top = vec(m_owner->m_device->deferredListener().top);
  return DS_OK;
}

HRESULT Buffer::Listener3D::SetOrientation(D3DVALUE xf, D3DVALUE yf, D3DVALUE zf, D3DVALUE xt, D3DVALUE yt,
                                           D3DVALUE zt, DWORD apply) {
  if (!ds::finite3(xf, yf, zf) || !ds::finite3(xt, yt, zt)) return DSERR_INVALIDPARAM;
  // Front and top must span a plane.
  const Vec3 f{xf, yf, zf}, t{xt, yt, zt};
  const Vec3 c = cross(t, f);
  if (!(dot(c, c) > 1e-12f * dot(f, f) * dot(t, t))) return DSERR_INVALIDPARAM;
  return set(apply, [&](ListenerState& l) {
    l.front = f;
    l.top = t;
  });
}

HRESULT Buffer::Listener3D::GetPosition(LPD3DVECTOR v) {
  if (!v) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> g(m_owner->m_device->lock());
  *v = vec(m_owner->m_device->deferredListener().position);
  return DS_OK;
}

HRESULT Buffer::Listener3D::SetPosition(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) {
  if (!ds::finite3(x, y, z)) return DSERR_INVALIDPARAM;
  return set(apply, [&](ListenerState& l) { l.position = {x, y, z}; });
}

HRESULT Buffer::Listener3D::GetVelocity(LPD3DVECTOR v) {
  if (!v) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> g(m_owner->m_device->lock());
  *v = vec(m_owner->m_device->deferredListener().velocity);
  return DS_OK;
}

HRESULT Buffer::Listener3D::SetVelocity(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) {
  if (!ds::finite3(x, y, z)) return DSERR_INVALIDPARAM;
  return set(apply, [&](ListenerState& l) { l.velocity = {x, y, z}; });
}

HRESULT Buffer::Listener3D::CommitDeferredSettings() {
  std::lock_guard<std::mutex> g(m_owner->m_device->lock());
  m_owner->m_device->commitDeferred();
  return DS_OK;
}

}  // namespace trivox
