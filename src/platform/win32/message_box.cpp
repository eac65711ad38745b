// SPDX-License-Identifier: MIT
#include "platform/win32/message_box.h"

#include <algorithm>
#include <string>

namespace tavrino {
namespace {

// The quiet box's measures in pixels at 96 DPI, as a message box has them.
constexpr int kMargin = 12;
constexpr int kGap = 12;
constexpr int kMaxTextWidth = 360;  // where the text wraps
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 26;
constexpr DWORD kQuietStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
// Never activated, not even by a click, and above the topmost main window.
constexpr DWORD kQuietExStyle = WS_EX_NOACTIVATE | WS_EX_TOPMOST | WS_EX_DLGMODALFRAME;

int scaled(int pixels, UINT dpi) {
  return MulDiv(pixels, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
}

// Where the owner is, for centring a box on it. A minimised window's
// rectangle lies far off the screen; the place it is restored to is where
// the user looks for it.
RECT owner_rect(HWND owner) {
  RECT rect{};
  if (owner != nullptr && IsIconic(owner) != FALSE) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    if (GetWindowPlacement(owner, &placement) != FALSE) return placement.rcNormalPosition;
  }
  if (owner == nullptr || GetWindowRect(owner, &rect) == FALSE) {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &rect, 0);
  }
  return rect;
}

void place(HWND box, HWND owner) {
  RECT rect{};
  GetWindowRect(box, &rect);
  const RECT around = owner_rect(owner);
  const RECT to = message_box_rect({rect.right - rect.left, rect.bottom - rect.top}, around,
                                   work_area_of(around));
  SetWindowPos(box, nullptr, to.left, to.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool another_program_in_front() {
  HWND foreground = GetForegroundWindow();
  if (foreground == nullptr) return false;
  DWORD process = 0;
  GetWindowThreadProcessId(foreground, &process);
  return process != GetCurrentProcessId();
}

// Controls of the quiet box, and the font they share, which the box deletes
// when it goes.
void lay_out_quiet_box(HWND box, const std::wstring& text) {
  UINT dpi = GetDpiForWindow(box);
  if (dpi == 0) dpi = USER_DEFAULT_SCREEN_DPI;
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi);
  HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
  SetWindowLongPtrW(box, DWLP_USER, reinterpret_cast<LONG_PTR>(font));

  RECT text_rect{0, 0, scaled(kMaxTextWidth, dpi), 0};
  HDC dc = GetDC(box);
  HGDIOBJ old_font = SelectObject(dc, font);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &text_rect,
            DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
  SelectObject(dc, old_font);
  ReleaseDC(box, dc);

  const int margin = scaled(kMargin, dpi);
  const int gap = scaled(kGap, dpi);
  const int icon = GetSystemMetricsForDpi(SM_CXICON, dpi);
  const int button_width = scaled(kButtonWidth, dpi);
  const int button_height = scaled(kButtonHeight, dpi);
  const int text_width = text_rect.right;
  const int text_height = text_rect.bottom;
  const int width = std::max(margin + icon + gap + text_width + margin, button_width + 2 * margin);
  const int top_part = std::max(icon, text_height);
  const int height = margin + top_part + gap + button_height + margin;

  const auto child = [box, font](const wchar_t* window_class, const wchar_t* title, DWORD style,
                                 int id, int x, int y, int w, int h) {
    HWND control =
        CreateWindowExW(0, window_class, title, WS_CHILD | WS_VISIBLE | style, x, y, w, h, box,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
  };
  HWND icon_control =
      child(L"STATIC", nullptr, SS_ICON | SS_REALSIZECONTROL, 0, margin, margin, icon, icon);
  auto* warning =
      static_cast<HICON>(LoadImageW(nullptr, IDI_WARNING, IMAGE_ICON, icon, icon, LR_SHARED));
  SendMessageW(icon_control, STM_SETICON, reinterpret_cast<WPARAM>(warning), 0);
  // Next to the icon, centred on it when it is one line.
  child(L"STATIC", text.c_str(), SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL, 0, margin + icon + gap,
        margin + (top_part - text_height) / 2, text_width, text_height);
  child(L"BUTTON", L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, (width - button_width) / 2,
        margin + top_part + gap, button_width, button_height);

  RECT frame{0, 0, width, height};
  AdjustWindowRectExForDpi(&frame, kQuietStyle, FALSE, kQuietExStyle, dpi);
  SetWindowPos(box, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK quiet_box_proc(HWND box, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      lay_out_quiet_box(box, *reinterpret_cast<const std::wstring*>(lparam));
      // No control gets the focus: that would activate the box.
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) DestroyWindow(box);
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(box);
      return TRUE;
    case WM_DESTROY:
      DeleteObject(reinterpret_cast<HFONT>(GetWindowLongPtrW(box, DWLP_USER)));
      return TRUE;
    default:
      return FALSE;
  }
}

// A dialog template with no controls, menu, class or title of its own.
struct alignas(DWORD) QuietBoxTemplate {
  DLGTEMPLATE dialog{kQuietStyle, kQuietExStyle, 0, 0, 0, 0, 0};
  WORD menu = 0;
  WORD window_class = 0;
  WORD title = 0;
};

}  // namespace

RECT moved_into(const RECT& window, const RECT& area) {
  const LONG width = window.right - window.left;
  const LONG height = window.bottom - window.top;
  const LONG left = std::max(area.left, std::min(window.left, area.right - width));
  const LONG top = std::max(area.top, std::min(window.top, area.bottom - height));
  return {left, top, left + width, top + height};
}

RECT message_box_rect(SIZE size, const RECT& owner, const RECT& work) {
  const LONG left = owner.left + (owner.right - owner.left - size.cx) / 2;
  const LONG top = owner.top + (owner.bottom - owner.top - size.cy) / 2;
  return moved_into({left, top, left + size.cx, top + size.cy}, work);
}

RECT work_area_of(const RECT& rect) {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (GetMonitorInfoW(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &info) != FALSE) {
    return info.rcWork;
  }
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return work;
}

HWND show_quiet_message(HWND owner, std::wstring_view text, std::wstring_view caption) {
  static const QuietBoxTemplate kTemplate;
  const std::wstring message(text);
  HWND box = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &kTemplate.dialog, owner,
                                        &quiet_box_proc, reinterpret_cast<LPARAM>(&message));
  if (box == nullptr) return nullptr;
  SetWindowTextW(box, std::wstring(caption).c_str());
  place(box, owner);
  SetWindowPos(box, HWND_TOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  // What draws the eye without taking the keyboard: a sound, and tavrino's
  // button in the taskbar flashing until its window is activated.
  MessageBeep(MB_ICONWARNING);
  if (owner != nullptr) {
    FLASHWINFO flash{};
    flash.cbSize = sizeof(flash);
    flash.hwnd = owner;
    flash.dwFlags = FLASHW_TRAY | FLASHW_TIMERNOFG;
    FlashWindowEx(&flash);
  }
  return box;
}

void show_message_box(HWND owner, std::wstring_view text, std::wstring_view caption) {
  if (another_program_in_front() && show_quiet_message(owner, text, caption) != nullptr) return;
  // Windows places its own box on the owner's monitor, inside the screen.
  MessageBoxW(owner, std::wstring(text).c_str(), std::wstring(caption).c_str(),
              MB_OK | MB_ICONWARNING);
}

}  // namespace tavrino
