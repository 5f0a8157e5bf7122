#include "framework/TextFit.h"

#include <string>

namespace fw {
namespace {

struct TextBox {
  RECT room;
  bool wraps;
  bool prefix;  // "&" marks a mnemonic
};

// The room a control's own drawing leaves for its text.
bool BoxOf(HWND c, HDC dc, TextBox* box) {
  char cls[32] = {};
  ::GetClassNameA(c, cls, sizeof cls);
  const LONG style = ::GetWindowLongA(c, GWL_STYLE);
  ::GetClientRect(c, &box->room);
  box->prefix = true;
  if (::lstrcmpiA(cls, "Static") == 0) {
    const LONG type = style & SS_TYPEMASK;
    if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_LEFTNOWORDWRAP && type != SS_SIMPLE)
      return false;
    box->wraps = type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT;
    box->prefix = !(style & SS_NOPREFIX);
    return true;
  }
  if (::lstrcmpiA(cls, "Button") != 0) return false;
  box->wraps = (style & BS_MULTILINE) != 0;
  switch (style & BS_TYPEMASK) {
    case BS_PUSHBUTTON:
    case BS_DEFPUSHBUTTON:
      ::InflateRect(&box->room, -3, -3);  // the raised edge and the focus rectangle
      return true;
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON: {
      // The box or dot, 13 pixels at 96 dpi, then half a digit's width before the text.
      INT digit = 0;
      ::GetCharWidth32A(dc, '0', '0', &digit);
      box->room.left += 12 * ::GetDeviceCaps(dc, LOGPIXELSX) / 96 + 1 + digit / 2;
      return true;
    }
    case BS_GROUPBOX:
      ::InflateRect(&box->room, -8, 0);  // the frame's corner before and after the caption
      box->wraps = false;
      return true;
  }
  return false;
}

std::string Shown(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&' && i + 1 < s.size()) ++i;  // "&&" shows one
    out += s[i];
  }
  return out;
}

int Spare(HDC dc, const std::string& text, const TextBox& box) {
  const int width = box.room.right - box.room.left, height = box.room.bottom - box.room.top;
  const std::string shown = box.prefix ? Shown(text) : text;
  SIZE line = {};
  ::GetTextExtentPoint32A(dc, shown.c_str(), static_cast<int>(shown.size()), &line);
  if (!box.wraps || line.cx <= width) return width - line.cx;
  RECT r = box.room;
  const int h = ::DrawTextA(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_WORDBREAK | (box.prefix ? 0 : DT_NOPREFIX));
  if (h > height) return height - h;
  return width - (r.right - r.left);
}

// Spare pixels of the control's text in `font`; false when it has none to measure.
bool SpareIn(HWND c, HFONT font, int* spare) {
  char text[1024] = {};
  ::GetWindowTextA(c, text, sizeof text);
  if (!text[0]) return false;
  HDC dc = ::GetDC(c);
  if (!dc) return false;
  const HGDIOBJ old = ::SelectObject(dc, font ? font : ::GetStockObject(SYSTEM_FONT));
  TextBox box;
  const bool measured = BoxOf(c, dc, &box);
  if (measured) *spare = Spare(dc, text, box);
  ::SelectObject(dc, old);
  ::ReleaseDC(c, dc);
  return measured;
}

BOOL CALLBACK FitChild(HWND c, LPARAM fonts) {
  const HFONT font = reinterpret_cast<HFONT>(::SendMessageA(c, WM_GETFONT, 0, 0));
  int spare = 0;
  LOGFONTA lf = {};
  if (!font || !SpareIn(c, font, &spare) || spare >= 0 || !::GetObjectA(font, sizeof lf, &lf)) return TRUE;
  TEXTMETRICA tm = {};
  HDC dc = ::GetDC(c);
  const HGDIOBJ old = ::SelectObject(dc, font);
  ::GetTextMetricsA(dc, &tm);
  ::SelectObject(dc, old);
  ::ReleaseDC(c, dc);
  for (LONG w = tm.tmAveCharWidth - 1; w >= 1 && w * 4 >= tm.tmAveCharWidth * 3; --w) {
    lf.lfWidth = w;
    HFONT narrower = ::CreateFontIndirectA(&lf);
    if (!narrower) break;
    if (SpareIn(c, narrower, &spare) && spare >= 0) {
      reinterpret_cast<std::vector<HFONT>*>(fonts)->push_back(narrower);
      ::SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(narrower), FALSE);
      break;
    }
    ::DeleteObject(narrower);
  }
  return TRUE;
}

}  // namespace

bool TextSpare(HWND control, int* spare) {
  return SpareIn(control, reinterpret_cast<HFONT>(::SendMessageA(control, WM_GETFONT, 0, 0)), spare);
}

CTextFit::~CTextFit() { Release(); }

void CTextFit::Release() {
  for (HFONT f : m_fonts) ::DeleteObject(f);
  m_fonts.clear();
}

void CTextFit::Fit(HWND dialog) {
  Release();
  ::EnumChildWindows(dialog, FitChild, reinterpret_cast<LPARAM>(&m_fonts));
}

}  // namespace fw
