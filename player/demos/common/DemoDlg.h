// What every demo window has: the engine over both devices, the scene from above, the
// engine switch (when "EnableDS3D" is 1), Pause/Resume, About in the system menu and the
// animation tick. A demo adds its sources and controls.
#pragma once
#include <memory>
#include <string>

#include "framework/Dialog.h"
#include "player/demos/common/DemoView.h"
#include "player/demos/common/VoiceSet.h"

namespace demo {

class CDemoDlg : public fw::CDialog, public SceneOwner {
  DECLARE_MESSAGE_MAP()
 public:
  // span: metres from the listener to the nearer edge of the view.
  explicit CDemoDlg(float span);
  ~CDemoDlg() override;
  BOOL OnInitDialog() override;

 protected:
  virtual void StartScene() = 0;          // the engine runs: make the voices
  virtual void PlayVoices(bool on) = 0;   // start the scene's voices, or stop them all
  virtual void Advance(double dt) = 0;    // move on by dt seconds and place the voices
  void DrawScene(HDC dc, const ViewMap& map) override = 0;
  void DragTo(float, float) override {}

  CVoiceSet& Voices() { return *m_pVoices; }
  bool Paused() const { return m_bPaused; }
  // A sound of ours in the "sounds" folder beside the program.
  static std::string SoundPath(const char* file);
  void SetItemText(int id, const std::string& text) const;

 private:
  LRESULT OnSysCommand(WPARAM, LPARAM);
  LRESULT OnTimer(WPARAM, LPARAM);
  LRESULT OnDestroy(WPARAM, LPARAM);
  LRESULT OnPause(WPARAM, LPARAM);
  LRESULT OnEngine(WPARAM, LPARAM);
  void OfferEngines();

  std::unique_ptr<CSound3D> m_pSound;
  std::unique_ptr<CVoiceSet> m_pVoices;
  CDemoView m_view;
  float m_span;
  bool m_bPaused = false;
  DWORD m_lastTick = 0;
  HICON m_hIcon = nullptr;
};

}  // namespace demo
