// SPDX-License-Identifier: MIT
#include "platform/win32/open_dialog.h"

#include <gtest/gtest.h>

#include <string>

#include "window/form1.h"

namespace tavrino {
namespace {

using namespace std::string_literals;

TEST(DialogFilter, EndsEveryPieceInNulAndTheListInTwo) {
  // Every Open dialog also offers the files of rows a spreadsheet saves.
  const std::wstring kSpreadsheets =
      L"Spreadsheet Files (*.csv;*.tsv;*.txt) \0*.csv;*.tsv;*.txt\0"s;
  struct Case {
    std::u16string_view filter;
    std::wstring expected;
  };
  const Case cases[] = {
      {u"Data (*.ipt) |*.ipt|All (*.*) |*.*|",
       L"Data (*.ipt) \0*.ipt\0All (*.*) \0*.*\0"s + kSpreadsheets + L"\0"s},
      {u"", kSpreadsheets + L"\0"s},
  };
  for (const Case& c : cases) EXPECT_EQ(dialog_filter(c.filter), c.expected);
}

TEST(Win32WindowPlacement, MakesTopmostWithoutMovingOrResizing) {
  HWND window = CreateWindowExW(0, L"STATIC", L"placement", WS_OVERLAPPED | WS_CAPTION, 50, 60, 200,
                                100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  RECT before{};
  GetWindowRect(window, &before);
  Win32WindowPlacement placement;
  const auto handle = reinterpret_cast<WindowHandle>(window);

  EXPECT_NE(settopmost(placement, handle), 0);
  EXPECT_NE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  RECT after{};
  GetWindowRect(window, &after);
  EXPECT_TRUE(EqualRect(&before, &after));

  DestroyWindow(window);

  // A window that is gone: SetWindowPos fails and says so with 0.
  EXPECT_EQ(placement.set_window_pos(handle, kHwndTopmost, 0, 0, 0, 0, kSwpNosize | kSwpNomove), 0);
}

}  // namespace
}  // namespace tavrino
