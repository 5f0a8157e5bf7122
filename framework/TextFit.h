// Texts that fit their controls. A dialog's layout is made in its template's
// font; where a stand-in font draws a text wider than its control leaves
// room for (Wine's replacement for "MS Sans Serif" does), that control gets
// the same face drawn narrower, just enough, never below three quarters.
#pragma once
#include <windows.h>

#include <vector>

namespace fw {

// Pixels a static, button or radio text has to spare in the font it is
// drawn with: width left over, or when a wrapping text runs out of height,
// minus the pixels it lacks. False for controls without a text to measure.
bool TextSpare(HWND control, int* spare);

class CTextFit {
 public:
  CTextFit() = default;
  ~CTextFit();
  CTextFit(const CTextFit&) = delete;
  CTextFit& operator=(const CTextFit&) = delete;

  // Every child of the dialog; fonts made for an earlier window are let go.
  void Fit(HWND dialog);

 private:
  void Release();
  std::vector<HFONT> m_fonts;
};

}  // namespace fw
