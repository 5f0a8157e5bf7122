#include "controlpanel/driver/SpeakerLink.h"

namespace {

const char kLibrary[] = "Kv20DAL.dll";
// The library's exports as its compiler names them (Itanium C++ names of mingw-w64).
const char kCtorName[] = "_ZN17CSpeakerInterfaceC1Ev";
const char kDtorName[] = "_ZN17CSpeakerInterfaceD1Ev";
const char kInitName[] = "_ZN17CSpeakerInterface10InitializeEP10TAudioInfoPj";
const char kStatusName[] = "_ZN17CSpeakerInterface9GetStatusEP15SpeakerEqRecordj";
const char kConfigName[] = "_ZN17CSpeakerInterface9SetConfigEPK15SpeakerEqRecordj";

template <class Fn>
Fn Find(HMODULE lib, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(lib, name)));
}

}  // namespace

CSpeakerLink::CSpeakerLink() : m_hLib(::LoadLibraryA(kLibrary)) {
  if (!m_hLib) return;
  auto ctor = Find<Ctor>(m_hLib, kCtorName);
  m_dtor = Find<Ctor>(m_hLib, kDtorName);
  m_init = Find<Init>(m_hLib, kInitName);
  m_status = Find<Status>(m_hLib, kStatusName);
  m_config = Find<Config>(m_hLib, kConfigName);
  // All or nothing: an object that cannot be destroyed is never made.
  if (ctor && m_dtor && m_init && m_status && m_config) {
    ctor(m_object);
    m_bConstructed = true;
  }
}

CSpeakerLink::~CSpeakerLink() {
  if (m_bConstructed) m_dtor(m_object);
  if (m_hLib) ::FreeLibrary(m_hLib);
}

TKvRetCode CSpeakerLink::Initialize(TAudioInfo* info, uint32_t* reserved) {
  return m_bConstructed ? m_init(m_object, info, reserved) : kKvFailed;
}

TKvRetCode CSpeakerLink::GetStatus(AUDIOSTATUS* status, uint32_t options) {
  return m_bConstructed ? m_status(m_object, status, options) : kKvFailed;
}

TKvRetCode CSpeakerLink::SetConfig(const AUDIOCONFIG* config, uint32_t options) {
  return m_bConstructed ? m_config(m_object, config, options) : kKvFailed;
}
