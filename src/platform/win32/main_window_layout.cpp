// SPDX-License-Identifier: MIT
// The main window's creation, and where its controls go and how big their
// fonts are at each DPI.
#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/main_window.h"
#include "platform/win32/message_box.h"
#include "platform/win32/resource.h"
#include "platform/win32/wide.h"
#include "platform/win32/window_geometry.h"

namespace tavrino {
namespace {

constexpr wchar_t kWindowClass[] = L"tavrino.Form1";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = 0;

// Controls without a font of their own use the form's default font.
constexpr FontSpec kDefaultFont{u"MS Sans Serif", 8.25, false};

// The list keeps at least this height (about ten lines) on a short screen.
constexpr int kMinListTwips = 2400;

// The letters whose mean width is a font's average character width, the unit
// (in quarters) of an edit control's tab stops.
constexpr std::wstring_view kAverageSample =
    L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

HFONT create_font(const FontSpec& spec, UINT dpi) {
  std::wstring face = to_wide(spec.face);
  // MS Sans Serif is a bitmap font with a few fixed sizes; its TrueType twin
  // draws the same letters at any size and DPI.
  if (face == L"MS Sans Serif") face = L"Microsoft Sans Serif";
  const int hundredths = static_cast<int>(std::lround(spec.points * 100));
  const int height = -MulDiv(hundredths, static_cast<int>(dpi), 72 * 100);
  return CreateFontW(height, 0, 0, 0, spec.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

}  // namespace

Status MainWindow::create() {
  WNDCLASSEXW window_class{};
  if (GetClassInfoExW(instance_, kWindowClass, &window_class) == FALSE) {
    window_class = {};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = &MainWindow::window_proc;
    window_class.hInstance = instance_;
    window_class.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(IDI_TAVRINO));
    window_class.hIconSm = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_TAVRINO),
                                                         IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                         GetSystemMetrics(SM_CYSMICON), 0));
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = kWindowClass;
    if (RegisterClassExW(&window_class) == 0) {
      return Status::failure(u"Windows refused to register the main window.");
    }
  }
  const std::wstring caption = to_wide(kWindowCaption);
  // The size follows in WM_CREATE, once the window knows its monitor's DPI.
  HWND hwnd =
      CreateWindowExW(kWindowExStyle, kWindowClass, caption.c_str(), kWindowStyle, CW_USEDEFAULT,
                      CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance_, this);
  if (hwnd == nullptr) {
    return Status::failure(u"Windows refused to create the main window.");
  }
  return Status::success();
}

bool MainWindow::on_create() {
  dpi_ = GetDpiForWindow(hwnd_);
  if (dpi_ == 0) dpi_ = USER_DEFAULT_SCREEN_DPI;
  if (!create_controls()) return false;
  // Where Windows put the window, with no size yet.
  RECT where{};
  GetWindowRect(hwnd_, &where);
  fit(dpi_, where);
  // A file dropped anywhere on the window opens; the edit controls take no
  // drops of their own, so the drop comes here.
  DragAcceptFiles(hwnd_, TRUE);
  return true;
}

void MainWindow::fit(UINT dpi, const RECT& where) {
  const RECT work = work_area_of(where);
  const SIZE full = window_size_for(kWindowStyle, kWindowExStyle, dpi);
  const ControlLayout& list = layout_of(ControlId::lbltext);
  list_cut_ = list_cut(full.cy, work.bottom - work.top, pixels_of(list.height, dpi),
                       pixels_of(kMinListTwips, dpi));
  const RECT placed = moved_into(
      {where.left, where.top, where.left + full.cx, where.top + full.cy - list_cut_}, work);
  SetWindowPos(hwnd_, nullptr, placed.left, placed.top, placed.right - placed.left,
               placed.bottom - placed.top, SWP_NOZORDER | SWP_NOACTIVATE);
  layout(dpi);
}

bool MainWindow::create_controls() {
  // Tab follows the order in which the controls were created.
  for (const ControlId id : tab_order()) {
    const ControlLayout* const control = &layout_of(id);
    const wchar_t* window_class = nullptr;
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    DWORD ex_style = 0;
    switch (control->kind) {
      case ControlKind::push_button:
        window_class = L"BUTTON";
        style |= BS_PUSHBUTTON;
        break;
      case ControlKind::text_box:
        window_class = L"EDIT";
        ex_style |= WS_EX_CLIENTEDGE;
        style |= control->multi_line ? ES_MULTILINE : ES_AUTOHSCROLL;
        if (control->vertical_scroll) style |= WS_VSCROLL | ES_AUTOVSCROLL;
        if (control->centred) style |= ES_CENTER;
        // Nothing reads the list pane back, so it takes no edits; it still
        // takes the focus, so that it can be scrolled from the keyboard.
        if (control->id == ControlId::lbltext) style |= ES_READONLY;
        break;
      case ControlKind::frame:
        window_class = L"BUTTON";
        style |= BS_GROUPBOX;
        break;
      case ControlKind::line:
        window_class = L"STATIC";
        style |= SS_ETCHEDHORZ;
        break;
      case ControlKind::label:
        window_class = L"STATIC";
        // A class such as "7&8" is shown as written, not as a mnemonic.
        style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX;
        break;
      case ControlKind::common_dialog:
      case ControlKind::timer:
        continue;  // no window of their own
    }
    if (takes_focus(control->kind)) style |= WS_TABSTOP | WS_GROUP;
    if (!control->enabled) style |= WS_DISABLED;
    const std::wstring text = to_wide(control->text);
    HWND hwnd = CreateWindowExW(ex_style, window_class, text.c_str(), style, 0, 0, 0, 0, hwnd_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(
                                    kFirstControlId + static_cast<int>(control->id))),
                                instance_, nullptr);
    if (hwnd == nullptr) return false;
    controls_[static_cast<std::size_t>(control->id)] = hwnd;
  }
  // The list pane lies inside the frame; with the frame at the bottom of the
  // stack the pane paints over it, and the frame takes no focus, so the Tab
  // order stays as created.
  SetWindowPos(control(ControlId::frmChklist), HWND_BOTTOM, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  // The list may be longer than an edit control takes by default.
  SendMessageW(control(ControlId::lbltext), EM_SETLIMITTEXT, 0, 0);
  return true;
}

void MainWindow::layout(UINT dpi) {
  delete_fonts();
  for (const ControlLayout& entry : form1_layout()) {
    HWND hwnd = control(entry.id);
    if (hwnd == nullptr) continue;
    int left = entry.left;
    int top = entry.top;
    if (entry.parent) {
      const ControlLayout& parent = layout_of(*entry.parent);
      left += parent.left;
      top += parent.top;
    }
    // Edges are converted rather than sizes, so that neighbours stay
    // flush whatever the rounding.
    const int x = pixels_of(left, dpi);
    const int y = pixels_of(top, dpi);
    int width = pixels_of(left + entry.width, dpi) - x;
    int height = pixels_of(top + entry.height, dpi) - y;
    int line_top = y;
    if (entry.kind == ControlKind::line) {
      height = std::max(2, pixels_of(2 * kTwipsPerPixel, dpi));  // an etched rule is two lines
      line_top = y - height / 2;
    }
    if (entry.id == ControlId::frmChklist || entry.id == ControlId::lbltext) height -= list_cut_;
    SetWindowPos(hwnd, nullptr, x, line_top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    HFONT font = create_font(entry.font.value_or(kDefaultFont), dpi);
    fonts_[static_cast<std::size_t>(entry.id)] = font;
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
  line_up_values();
}

void MainWindow::line_up_values() {
  HWND pane = control(ControlId::lbltext);
  HFONT font = fonts_[static_cast<std::size_t>(ControlId::lbltext)];
  if (pane == nullptr || font == nullptr) return;
  const int length = GetWindowTextLengthW(pane);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(std::max(GetWindowTextW(pane, text.data(), length + 1), 0)));

  HDC dc = GetDC(pane);
  HGDIOBJ old_font = SelectObject(dc, font);
  const auto width_of = [dc](std::wstring_view part) {
    SIZE size{};
    GetTextExtentPoint32W(dc, part.data(), static_cast<int>(part.size()), &size);
    return static_cast<int>(size.cx);
  };
  int widest = 0;
  int widest_short = -1;
  int narrowest_long = -1;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring_view line = std::wstring_view(text).substr(start, end - start);
    if (const std::size_t tab = line.find(L'\t'); tab != std::wstring_view::npos) {
      const int width = width_of(line.substr(0, tab));
      widest = std::max(widest, width);
      if (tab + 1 < line.size() && line[tab + 1] == L'\t') {
        widest_short = std::max(widest_short, width);
      } else if (narrowest_long < 0 || width < narrowest_long) {
        narrowest_long = width;
      }
    }
    start = end + 1;
  }
  const int space = width_of(L" ");
  const int average = average_char_width(width_of(kAverageSample));
  SelectObject(dc, old_font);
  ReleaseDC(pane, dc);

  // The stops after the last come the same distance apart again, for a
  // value with a tab of its own.
  std::vector<int> stops = value_tab_stops(widest_short, narrowest_long, widest, space, average);
  SendMessageW(pane, EM_SETTABSTOPS, stops.size(), reinterpret_cast<LPARAM>(stops.data()));
  InvalidateRect(pane, nullptr, TRUE);
}

void MainWindow::delete_fonts() {
  for (HFONT& font : fonts_) {
    if (font != nullptr) DeleteObject(font);
    font = nullptr;
  }
}

void MainWindow::on_dpi_changed(UINT dpi, const RECT& suggested) {
  dpi_ = dpi;
  // Windows suggests where the window goes; its size comes from the layout,
  // which rounds each edge on its own.
  fit(dpi, suggested);
}

}  // namespace tavrino
