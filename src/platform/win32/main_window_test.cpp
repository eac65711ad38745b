// SPDX-License-Identifier: MIT
#include "platform/win32/main_window.h"

#include <gtest/gtest.h>

// After windows.h: DROPFILES, the memory a WM_DROPFILES hands over.
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/scratch_dir.h"
#include "platform/win32/message_box.h"
#include "platform/win32/open_dialog.h"
#include "platform/win32/paste_and_drop.h"
#include "platform/win32/window_geometry.h"
#include "playback/fake_keyboard.h"
#include "sheet/file_reader.h"
#include "window/form1.h"
#include "window/sheet_view.h"

namespace tavrino {
namespace {

RECT client_rect_of(HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

LOGFONTW font_of(HWND control) {
  LOGFONTW font{};
  auto handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  GetObjectW(handle, sizeof(font), &font);
  return font;
}

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    Status created = window_.create();
    ASSERT_TRUE(created.ok()) << std::string(created.message().begin(), created.message().end());
  }
  bool at_96_dpi() const { return window_.dpi() == USER_DEFAULT_SCREEN_DPI; }
  MainWindow window_{GetModuleHandleW(nullptr)};
};

TEST_F(MainWindowTest, PlacesTheControlsOfTheLayout) {
  if (!at_96_dpi()) GTEST_SKIP() << "pixel positions below are for 96 DPI";
  RECT client{};
  GetClientRect(window_.hwnd(), &client);
  EXPECT_EQ(client.right, 354);   // 5310 twips
  EXPECT_EQ(client.bottom, 641);  // 9615 twips

  // Client coordinates at 96 DPI: twips / 15.
  const struct {
    ControlId id;
    RECT rect;
  } cases[] = {
      {ControlId::cmdStart, {272, 48, 345, 81}},
      {ControlId::lbltext, {24, 168, 337, 617}},  // inside the frame
  };
  for (const auto& c : cases) {
    const RECT rect = client_rect_of(window_.control(c.id));
    EXPECT_TRUE(EqualRect(&rect, &c.rect)) << static_cast<int>(c.id) << ": " << rect.left << ","
                                           << rect.top << "," << rect.right << "," << rect.bottom;
  }
}

TEST_F(MainWindowTest, TabGoesByTabIndex) {
  const ControlId order[] = {ControlId::txtTime, ControlId::lbltext,  ControlId::cmdBrows,
                             ControlId::txtfile, ControlId::cmdStart, ControlId::txtTime};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
    EXPECT_EQ(GetNextDlgTabItem(window_.hwnd(), window_.control(order[i]), FALSE),
              window_.control(order[i + 1]))
        << "after control " << static_cast<int>(order[i]);
  }
}

TEST_F(MainWindowTest, StartsWithTheLayoutsTextsAndFonts) {
  std::u16string text;
  ASSERT_TRUE(window_.get_text(ControlId::txtTime, text).ok());
  EXPECT_EQ(text, u"5\r\n");
  ASSERT_TRUE(window_.get_text(ControlId::txtfile, text).ok());
  EXPECT_EQ(text, u"data.ipt");
  EXPECT_TRUE(IsWindowEnabled(window_.control(ControlId::cmdStart)));

  // 9.75 points is 13 pixels at 96 DPI.
  const LOGFONTW label = font_of(window_.control(ControlId::lblClass));
  EXPECT_EQ(label.lfHeight, -MulDiv(13, window_.dpi(), 96));
  EXPECT_EQ(label.lfWeight, FW_BOLD);
  EXPECT_STREQ(label.lfFaceName, L"Arial");
}

TEST_F(MainWindowTest, TextsRoundTripWithLineEndsAndAnyCharacterInTheRightControls) {
  const std::u16string texts[] = {u"12 seconds\r\nmore", u"Zo\u00EB \U0001F600", u""};
  for (ControlId box : {ControlId::txtTime, ControlId::txtfile}) {
    for (const std::u16string& text : texts) {
      ASSERT_TRUE(window_.set_text(box, text).ok());
      std::u16string back;
      ASSERT_TRUE(window_.get_text(box, back).ok());
      EXPECT_EQ(back, text);
    }
  }
  ASSERT_TRUE(window_.set_caption(ControlId::lblClass, u"CLASS : 7&8").ok());
  wchar_t caption[32] = {};
  GetWindowTextW(window_.control(ControlId::lblClass), caption, 32);
  EXPECT_STREQ(caption, L"CLASS : 7&8");
  // An operation the control does not take changes nothing.
  EXPECT_FALSE(window_.set_text(ControlId::lblClass, u"x").ok());
  EXPECT_FALSE(window_.set_enabled(ControlId::cmdBrows, false).ok());
  EXPECT_TRUE(IsWindowEnabled(window_.control(ControlId::cmdBrows)));
}

// Where the first character after the tabs of each line of the list pane
// is drawn, and where its name ends.
struct ValuePosition {
  int name_end;
  int value;
};

// The width of A to Z and a to z in the pane's font, as the pane reckons
// its average character width.
int sample_width(HWND pane) {
  HDC dc = GetDC(pane);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(pane, WM_GETFONT, 0, 0)));
  SIZE size{};
  const wchar_t sample[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  GetTextExtentPoint32W(dc, sample, 52, &size);
  SelectObject(dc, old);
  ReleaseDC(pane, dc);
  return static_cast<int>(size.cx);
}

std::vector<ValuePosition> value_positions(HWND pane) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(pane)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(pane, text.data(), static_cast<int>(text.size()))));
  std::vector<ValuePosition> positions;
  const auto x_of = [pane](std::size_t index) {
    return static_cast<int>(
        static_cast<short>(LOWORD(SendMessageW(pane, EM_POSFROMCHAR, index, 0))));
  };
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t tab = text.find(L'\t', start);
    if (tab == std::wstring::npos) break;
    std::size_t value = tab;
    while (text[value] == L'\t') ++value;
    // The end of the name: the left edge of the first tab.
    positions.push_back({x_of(tab), x_of(value)});
    start = text.find(L'\n', value) + 1;
  }
  return positions;
}

TEST_F(MainWindowTest, LinesUpTheValuesOfOneAndTwoTabLines) {
  const struct {
    const char* name;
    std::vector<std::u16string> names;
    bool overlap;  // a short name is wider than a long one
  } cases[] = {
      {"the sample class",
       {u"Zo\u00EB M\u00FCller", u"\u0141ukasz Nowak", u"Amelia Hart", u"Jonas Berg",
        u"Priya Raman", u"Mateo Garc\u00EDa", u"Olivia O'Brien", u"Christopher Robinson"},
       true},
      // Thirteen wide letters are wider than fourteen narrow ones.
      {"a wide two-tab name", {u"WWWWWWWWWWWWW", u"iiiiiiiiiiiiii", u"Al"}, true},
      {"a full list", std::vector<std::u16string>(51, u"Mateo Garc\u00EDa"), false},
  };
  HWND pane = window_.control(ControlId::lbltext);
  for (const UINT dpi : {window_.dpi(), window_.dpi() * 2}) {
    if (dpi != window_.dpi()) {
      RECT suggested{0, 0, 800, 1400};
      SendMessageW(window_.hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                   reinterpret_cast<LPARAM>(&suggested));
    }
    for (const auto& c : cases) {
      ResultSheet sheet;
      for (const std::u16string& name : c.names) {
        sheet.itemname[static_cast<std::size_t>(sheet.itemcount)] = name;
        sheet.itemvalue[static_cast<std::size_t>(sheet.itemcount)] = u"45";
        ++sheet.itemcount;
      }
      std::u16string text;
      ASSERT_TRUE(list_text(sheet, text).ok());
      ASSERT_TRUE(window_.set_text(ControlId::lbltext, text).ok());
      const std::vector<ValuePosition> positions = value_positions(pane);
      ASSERT_EQ(positions.size(), c.names.size()) << c.name;
      int lowest = positions.front().value;
      int highest = lowest;
      for (const ValuePosition& position : positions) {
        lowest = std::min(lowest, position.value);
        highest = std::max(highest, position.value);
        EXPECT_GT(position.value, position.name_end) << c.name;
      }
      // Within a quarter of a character; exact where no short name is wider
      // than a long one.
      const int quarter = (average_char_width(sample_width(pane)) + 3) / 4;
      EXPECT_LE(highest - lowest, c.overlap ? quarter : 0) << c.name << " at " << dpi << " DPI";
    }
  }
}

TEST_F(MainWindowTest, LaysOutAgainWhenTheDpiChanges) {
  const UINT dpi = window_.dpi() * 2;
  RECT suggested{10, 20, 10 + 800, 20 + 1400};
  SendMessageW(window_.hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
               reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(window_.dpi(), dpi);
  const RECT start = client_rect_of(window_.control(ControlId::cmdStart));
  EXPECT_EQ(start.left, MulDiv(4080, dpi, 1440));
  EXPECT_EQ(start.bottom, MulDiv(720 + 495, dpi, 1440));
  EXPECT_EQ(font_of(window_.control(ControlId::txtTime)).lfHeight, -MulDiv(1350, dpi, 7200));
  RECT window_rect{};
  GetWindowRect(window_.hwnd(), &window_rect);
  EXPECT_EQ(window_rect.left, 10);
  // On a screen too short for it (Xvfb's 1024 pixels at twice the DPI), the
  // window lies in the work area and the list is shorter, inside its frame.
  const RECT work = work_area_of(suggested);
  const SIZE full = window_size_for(GetWindowLongW(window_.hwnd(), GWL_STYLE),
                                    GetWindowLongW(window_.hwnd(), GWL_EXSTYLE), dpi);
  if (20 + full.cy <= work.bottom) {
    EXPECT_EQ(window_rect.top, 20);
    EXPECT_EQ(window_rect.bottom - window_rect.top, full.cy);
  } else {
    EXPECT_EQ(window_rect.top, work.top);
    EXPECT_EQ(window_rect.bottom, work.bottom);
  }
  RECT client{};
  GetClientRect(window_.hwnd(), &client);
  const RECT frame = client_rect_of(window_.control(ControlId::frmChklist));
  const RECT pane = client_rect_of(window_.control(ControlId::lbltext));
  EXPECT_LT(pane.bottom, frame.bottom);
  EXPECT_LT(frame.bottom, client.bottom);
}

// The memory of a WM_DROPFILES, as Explorer hands it over.
HDROP drop_of(const std::vector<std::wstring>& files) {
  std::size_t units = 1;  // the NUL after the last name
  for (const std::wstring& file : files) units += file.size() + 1;
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + units * sizeof(wchar_t));
  auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  auto* names = reinterpret_cast<wchar_t*>(header + 1);
  for (const std::wstring& file : files) {
    std::memcpy(names, file.c_str(), file.size() * sizeof(wchar_t));
    names += file.size() + 1;
  }
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

void set_clipboard(HWND owner, const std::wstring& text) {
  ASSERT_TRUE(OpenClipboard(owner));
  EmptyClipboard();
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  std::memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  GlobalUnlock(memory);
  EXPECT_NE(SetClipboardData(CF_UNICODETEXT, memory), nullptr);
  CloseClipboard();
}

// tavrino.exe's window with its Form1, as main.cpp puts them together.
class FormOnWindowTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    window_.set_form(&form_);
  }
  void TearDown() override { window_.set_form(nullptr); }
  std::u16string text(ControlId id) {
    std::u16string shown;
    EXPECT_TRUE(window_.get_text(id, shown).ok());
    return shown;
  }

  ResultSheet sheet_;
  Win32OpenDialog dialog_{nullptr};
  Win32WindowPlacement placement_;
  FakeKeyboard keyboard_;
  StandardFileReader reader_;
  Form1 form_{sheet_, window_, dialog_, window_, placement_, keyboard_, window_, reader_};
};

TEST_F(FormOnWindowTest, AFileDroppedOnTheWindowOpens) {
  HDROP two = drop_of({L"C:\\m\\a.csv", L"D:\\Pr\u00fcfung\\b.ipt"});
  EXPECT_EQ(dropped_files(two),
            (std::vector<std::u16string>{u"C:\\m\\a.csv", u"D:\\Pr\u00fcfung\\b.ipt"}));
  GlobalFree(two);

  ScratchFile rows("Name,Mark\r\nAnn,7\r\n", "marks.csv");
  SendMessageW(window_.hwnd(), WM_DROPFILES,
               reinterpret_cast<WPARAM>(drop_of({rows.fs_path().wstring()})), 0);
  EXPECT_EQ(text(ControlId::txtfile), rows.path());
  wchar_t pane[64] = {};
  GetWindowTextW(window_.control(ControlId::lbltext), pane, 64);
  EXPECT_EQ(std::wstring(pane), L"1. Ann\t\t7\r\n");
}

TEST_F(FormOnWindowTest, PastedCellsLoadAndOtherTextIsLeftToTheBox) {
  set_clipboard(window_.hwnd(), L"Ann\t45\r\nBob\t52\r\n");
  EXPECT_EQ(clipboard_text(window_.hwnd()), u"Ann\t45\r\nBob\t52\r\n");
  EXPECT_TRUE(window_.paste_clipboard());
  EXPECT_EQ(text(ControlId::txtfile), u"Clipboard: 2 rows");
  EXPECT_EQ(sheet_.itemvalue[1], u"52");

  set_clipboard(window_.hwnd(), L"12");
  EXPECT_FALSE(window_.paste_clipboard());
  EXPECT_EQ(text(ControlId::txtfile), u"Clipboard: 2 rows");
}

}  // namespace
}  // namespace tavrino
