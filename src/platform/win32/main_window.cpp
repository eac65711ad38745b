// SPDX-License-Identifier: MIT
#include "platform/win32/main_window.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "platform/win32/console.h"
#include "platform/win32/message_box.h"
#include "platform/win32/resource.h"
#include "platform/win32/wide.h"

namespace tavrino {
namespace {

constexpr wchar_t kWindowClass[] = L"tavrino.Form1";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = 0;
constexpr int kFirstControlId = 100;  // clear of IDOK and IDCANCEL
constexpr UINT_PTR kTimerId = 1;
constexpr UINT_PTR kStepTimerId = 2;
constexpr UINT kStepMessage = WM_APP + 1;

// Controls without a font of their own use the form's default font.
constexpr FontSpec kDefaultFont{u"MS Sans Serif", 8.25, false};

// The list keeps at least this height (about ten lines) on a short screen.
constexpr int kMinListTwips = 2400;

// The letters whose mean width is a font's average character width, the unit
// (in quarters) of an edit control's tab stops.
constexpr std::wstring_view kAverageSample =
    L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

bool is_key_message(UINT message) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_DEADCHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
    case WM_SYSDEADCHAR:
      return true;
    default:
      return false;
  }
}

int command_id_of(ControlId id) {
  return kFirstControlId + static_cast<int>(id);
}

std::u16string name_of(ControlId id) {
  const std::string_view name = layout_of(id).name;
  return std::u16string(name.begin(), name.end());
}

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

int average_char_width(int sample_width) {
  return std::max(1, (sample_width / 26 + 1) / 2);
}

std::vector<int> value_tab_stops(int widest_short, int narrowest_long, int widest, int space,
                                 int average) {
  // The value column, rounded up to a whole stop unit.
  const int last = ((widest + 2 * space) * 4 + average - 1) / average;
  if (widest_short < 0) return {last};
  // The first unit right of every short name: a tab goes to the first stop
  // beyond where the text ends.
  const int first = std::min(widest_short * 4 / average + 1, last - 1);
  const bool fits = narrowest_long < 0 || first * average / 4 <= narrowest_long;
  return {fits ? first : last - 1, last};
}

int pixels_of(int twips, UINT dpi) {
  return MulDiv(twips, static_cast<int>(dpi), 1440);
}

SIZE window_size_for(DWORD style, DWORD ex_style, UINT dpi) {
  RECT rect{0, 0, pixels_of(kClientWidthTwips, dpi), pixels_of(kClientHeightTwips, dpi)};
  AdjustWindowRectExForDpi(&rect, style, FALSE, ex_style, dpi);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

bool is_paste_key(WPARAM key, bool ctrl, bool shift, bool alt) {
  if (alt) return false;
  return (key == 'V' && ctrl && !shift) || (key == VK_INSERT && shift && !ctrl);
}

std::optional<std::u16string> clipboard_text(HWND owner) {
  if (IsClipboardFormatAvailable(CF_UNICODETEXT) == FALSE) return std::nullopt;
  if (OpenClipboard(owner) == FALSE) return std::nullopt;
  std::optional<std::u16string> text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT); data != nullptr) {
    if (const auto* units = static_cast<const wchar_t*>(GlobalLock(data)); units != nullptr) {
      // The size bounds the search for the NUL, in case a program left none.
      std::wstring_view all(units, GlobalSize(data) / sizeof(wchar_t));
      text = from_wide(all.substr(0, all.find(L'\0')));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

std::vector<std::u16string> dropped_files(HDROP drop) {
  std::vector<std::u16string> files;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring name(static_cast<std::size_t>(length) + 1, L'\0');
    name.resize(DragQueryFileW(drop, i, name.data(), length + 1));
    files.push_back(from_wide(name));
  }
  return files;
}

int list_cut(int window_height, int work_height, int list_height, int min_list_height) {
  const int too_tall = window_height - work_height;
  return std::clamp(too_tall, 0, std::max(0, list_height - min_list_height));
}

MainWindow::MainWindow(HINSTANCE instance) : instance_(instance) {}

MainWindow::~MainWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  delete_fonts();
}

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

void MainWindow::show(int show_command) {
  ShowWindow(hwnd_, show_command);
  UpdateWindow(hwnd_);
  SetFocus(control(ControlId::txtTime));
}

int MainWindow::run() {
  running_ = true;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    const bool ours = message.hwnd == hwnd_ || IsChild(hwnd_, message.hwnd);
    // Esc is handled here rather than left to the controls: a multi-line
    // edit such as txtTime would take it and close the window.
    if (ours && message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
      on_escape();
      continue;
    }
    // Keys typed for another window that land here (the focus came back
    // while they were on their way) must not edit the countdown or press a
    // button, while typing and for a moment after it (Form1::keys_allowed);
    // Alt+F4 must not close the window.
    if (ours && form_ != nullptr && !form_->keys_allowed() && is_key_message(message.message)) {
      continue;
    }
    // Copied cells load as the list wherever the focus is; other text is
    // left to the edit control that has the focus.
    if (ours && message.message == WM_KEYDOWN &&
        is_paste_key(message.wParam, GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_SHIFT) < 0,
                     GetKeyState(VK_MENU) < 0) &&
        paste_clipboard()) {
      continue;
    }
    // Tab and Shift+Tab between the controls, as in a dialog box.
    if (hwnd_ != nullptr && IsDialogMessageW(hwnd_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  running_ = false;
  return static_cast<int>(message.wParam);
}

LRESULT CALLBACK MainWindow::window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  MainWindow* self = nullptr;
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    self = static_cast<MainWindow*>(create->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (self == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->controls_ = {};
    self->timer_on_ = false;
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  return self->handle(message, wparam, lparam);
}

LRESULT MainWindow::handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      return on_create() ? 0 : -1;
    case WM_COMMAND:
      on_command(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_TIMER:
      on_timer(wparam);
      return 0;
    case WM_DROPFILES:
      on_drop(reinterpret_cast<HDROP>(wparam));
      return 0;
    case kStepMessage:
      with_form([this] { form_->playback_step(); });
      return 0;
    case WM_CLOSE:
      // Typing must not go on, nor leave a key held, once the window is gone.
      if (defer_quit()) {
        close_pending_ = true;
        return 0;
      }
      if (form_ != nullptr) form_->quit();
      break;
    case WM_ENDSESSION:
      // The user logs off or Windows shuts down: the program may be ended at
      // any moment once this returns, so no key may still be down by then.
      if (wparam != FALSE && !defer_quit() && form_ != nullptr) form_->quit();
      return 0;
    case WM_DPICHANGED:
      on_dpi_changed(LOWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      return on_control_colour(message, wparam, lparam);
    case WM_ACTIVATE:
      if (HIWORD(wparam) == 0) {  // not while minimised
        on_activate(LOWORD(wparam) != WA_INACTIVE);
        if (LOWORD(wparam) != WA_INACTIVE) return 0;
      }
      break;
    case WM_DESTROY:
      if (running_) PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
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
    HWND hwnd =
        CreateWindowExW(ex_style, window_class, text.c_str(), style, 0, 0, 0, 0, hwnd_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(command_id_of(control->id))),
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

void MainWindow::on_command(int id, int code) {
  if (id == IDCANCEL) {
    on_escape();
    return;
  }
  if (code != BN_CLICKED) return;
  const int index = id - kFirstControlId;
  if (index >= 0 && index < static_cast<int>(kControlCount)) {
    with_form([this, index] { form_->click(ControlId(index)); });
  }
}

void MainWindow::on_timer(UINT_PTR id) {
  if (id == kTimerId) with_form([this] { form_->Timer1_Timer(); });
  if (id == kStepTimerId) {
    KillTimer(hwnd_, kStepTimerId);
    with_form([this] { form_->playback_step(); });
  }
}

void MainWindow::on_escape() {
  // Sent from outside in the middle of a step (see with_form): again later.
  if (form_ != nullptr && in_form_ && form_->typing()) {
    PostMessageW(hwnd_, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  with_form([this] { form_->escape(); });
}

bool MainWindow::paste_clipboard() {
  const std::optional<std::u16string> text = clipboard_text(hwnd_);
  if (!text || form_ == nullptr) return false;
  bool taken = false;
  with_form([this, &text, &taken] { taken = form_->paste(*text); });
  return taken;
}

void MainWindow::on_drop(HDROP drop) {
  const std::vector<std::u16string> files = dropped_files(drop);
  DragFinish(drop);
  with_form([this, &files] { form_->drop(files); });
}

bool MainWindow::defer_quit() {
  if (form_ == nullptr || !in_form_ || !form_->typing()) return false;
  quit_pending_ = true;
  return true;
}

template <typename Call>
void MainWindow::with_form(Call call) {
  if (form_ == nullptr) return;
  if (in_form_) {
    call();
    return;
  }
  in_form_ = true;
  call();
  in_form_ = false;
  if (quit_pending_) {
    quit_pending_ = false;
    form_->quit();
  }
  if (close_pending_) {
    close_pending_ = false;
    DestroyWindow(hwnd_);
  }
}

void MainWindow::on_dpi_changed(UINT dpi, const RECT& suggested) {
  dpi_ = dpi;
  // Windows suggests where the window goes; its size comes from the layout,
  // which rounds each edge on its own.
  fit(dpi, suggested);
}

LRESULT MainWindow::on_control_colour(UINT message, WPARAM wparam, LPARAM lparam) {
  // The list pane sits on the system menu colour. A read-only edit asks with
  // WM_CTLCOLORSTATIC, an editable one with WM_CTLCOLOREDIT.
  if (reinterpret_cast<HWND>(lparam) == control(ControlId::lbltext)) {
    HDC dc = reinterpret_cast<HDC>(wparam);
    SetTextColor(dc, GetSysColor(COLOR_MENUTEXT));
    SetBkColor(dc, GetSysColor(COLOR_MENU));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_MENU));
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

void MainWindow::on_activate(bool active) {
  // A plain window does not keep track of the focused control the way a
  // dialog box does; without this, coming back to the window would leave
  // Tab with nothing to move from.
  if (!active) {
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(hwnd_, focus)) focus_on_leave_ = focus;
    return;
  }
  HWND focus = focus_on_leave_;
  if (focus == nullptr || !IsWindow(focus) || !IsWindowEnabled(focus)) {
    focus = control(ControlId::txtTime);
  }
  SetFocus(focus);
}

Status MainWindow::set_window_text(ControlId id, std::u16string_view text) {
  HWND hwnd = control(id);
  const std::wstring wide = to_wide(text);
  if (hwnd == nullptr || SetWindowTextW(hwnd, wide.c_str()) == FALSE) {
    return Status::failure(u"Windows refused to change the text of " + name_of(id) + u".");
  }
  return Status::success();
}

Status MainWindow::set_text(ControlId box, std::u16string_view text) {
  if (Status status = check_applies(ControlOp::set_text, box); !status) return status;
  // A value may hold a lone CR or LF (a quoted item spanning lines); the
  // multi-line edit controls show only CR LF as a line break.
  if (!layout_of(box).multi_line) return set_window_text(box, text);
  if (box != ControlId::lbltext) return set_window_text(box, crlf_line_ends(text));
  Status status = set_window_text(box, crlf_line_ends(text));
  if (status) line_up_values();
  return status;
}

Status MainWindow::get_text(ControlId box, std::u16string& text) {
  if (Status status = check_applies(ControlOp::get_text, box); !status) return status;
  HWND hwnd = control(box);
  if (hwnd == nullptr) {
    return Status::failure(u"Windows could not read the text of " + name_of(box) + u".");
  }
  const int length = GetWindowTextLengthW(hwnd);
  std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(hwnd, buffer.data(), length + 1);
  buffer.resize(static_cast<std::size_t>(std::max(copied, 0)));
  text = from_wide(buffer);
  return Status::success();
}

Status MainWindow::set_caption(ControlId label, std::u16string_view caption) {
  if (Status status = check_applies(ControlOp::set_caption, label); !status) return status;
  return set_window_text(label, caption);
}

Status MainWindow::set_enabled(ControlId button, bool enabled) {
  if (Status status = check_applies(ControlOp::set_enabled, button); !status) return status;
  HWND hwnd = control(button);
  if (hwnd == nullptr) {
    return Status::failure(u"Windows could not enable or disable " + name_of(button) + u".");
  }
  // A disabled control cannot keep the focus; hand it on as Tab would.
  if (!enabled && GetFocus() == hwnd) SetFocus(GetNextDlgTabItem(hwnd_, hwnd, FALSE));
  EnableWindow(hwnd, enabled ? TRUE : FALSE);
  return Status::success();
}

Status MainWindow::set_timer(ControlId timer, bool on) {
  if (Status status = check_applies(ControlOp::set_timer, timer); !status) return status;
  if (on) {
    // Switching on a running timer leaves its ticks where they are; SetTimer
    // again would restart the interval and delay the next tick.
    if (timer_on_) return Status::success();
    if (hwnd_ == nullptr || SetTimer(hwnd_, kTimerId, kTimerIntervalMs, nullptr) == 0) {
      return Status::failure(u"Windows refused to start the countdown timer.");
    }
    timer_on_ = true;
  } else if (timer_on_) {
    KillTimer(hwnd_, kTimerId);
    timer_on_ = false;
  }
  return Status::success();
}

WindowHandle MainWindow::window_handle() {
  return reinterpret_cast<WindowHandle>(hwnd_);
}

void MainWindow::show_status(std::u16string_view text) {
  std::u16string title(kWindowCaption);
  if (!text.empty()) title = std::u16string(text) + u" - " + title;
  const std::wstring wide = to_wide(title);
  SetWindowTextW(hwnd_, wide.c_str());
}

void MainWindow::schedule_step(std::chrono::milliseconds delay) {
  if (delay.count() <= 0) {
    PostMessageW(hwnd_, kStepMessage, 0, 0);
  } else {
    SetTimer(hwnd_, kStepTimerId, static_cast<UINT>(delay.count()), nullptr);
  }
}

void MainWindow::log(std::u16string_view text) {
  // Escaped: a value quoted in the message could hold characters that a
  // console takes as commands, or that hide text.
  (void)write_output(OutputStream::err, "tavrino: " + utf16_to_utf8(escape_hidden(text)) + "\n");
}

void MainWindow::show_message(std::u16string_view text) {
  show_message_box(hwnd_, to_wide(text), to_wide(kWindowCaption));
}

}  // namespace tavrino
