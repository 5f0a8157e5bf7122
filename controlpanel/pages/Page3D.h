// The "Trivox Demos" page of the property sheet: starts the demonstration programs of the
// "demos" folder, switches the Trivox splash and shows the Trivox About dialog.
#pragma once
#include <windows.h>

#include <memory>
#include <type_traits>

#include "framework/Controls.h"
#include "framework/PropSheet.h"

class CPageServices;

class CPage3D : public fw::CPropertyPage {
  DECLARE_MESSAGE_MAP()
 public:
  explicit CPage3D(CPageServices& services);
  ~CPage3D() override;

  void DoDataExchange(fw::CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  BOOL OnApply() override;
  BOOL OnSetActive() override;
  BOOL OnKillActive() override;

 protected:
  LRESULT OnDemoClicked(WPARAM, LPARAM);  // 1025 to 1028
  LRESULT OnSplashClicked(WPARAM, LPARAM);
  LRESULT OnAboutClicked(WPARAM, LPARAM);

 private:
  struct BitmapDeleter {
    void operator()(HBITMAP bitmap) const { ::DeleteObject(bitmap); }
  };
  using OwnedBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapDeleter>;

  void AddToolTips();
  // The button keeps showing the image; the page deletes it when it goes.
  void MakeDemoButtonImage(int buttonId, HICON icon, const char* label, OwnedBitmap& image) const;
  void LaunchDemo(const char* name) const;

  int m_bEnableSplash = 0;
  CPageServices* const m_pServices;
  std::unique_ptr<fw::CToolTipCtrl> m_pToolTip;
  OwnedBitmap m_hImages[4];  // in the order the buttons are drawn
};
