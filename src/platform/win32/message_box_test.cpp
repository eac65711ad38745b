// SPDX-License-Identifier: MIT
#include "platform/win32/message_box.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavrino {
namespace {

std::string text_of(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
         "," + std::to_string(r.bottom);
}

TEST(Messages, StaysInsideTheWorkAreaCentredOnItsOwner) {
  const RECT work{0, 0, 1280, 1000};
  const struct {
    const char* name;
    RECT window;
    RECT area;
    RECT expected;
  } cases[] = {
      {"inside", {100, 100, 400, 300}, work, {100, 100, 400, 300}},
      {"over the right edge", {1100, 100, 1400, 300}, work, {980, 100, 1280, 300}},
      {"over the top left corner", {-50, -20, 250, 180}, work, {0, 0, 300, 200}},
      {"wider than the area", {200, 100, 1500, 300}, work, {0, 100, 1300, 300}},
      {"a monitor on the left", {-100, 800, 200, 1000}, {-1920, -200, 0, 880}, {-300, 680, 0, 880}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(text_of(moved_into(c.window, c.area)), text_of(c.expected)) << c.name;
  }
  EXPECT_EQ(text_of(message_box_rect({300, 100}, {100, 100, 460, 800}, work)), "130,400,430,500");
  // Where Windows keeps a minimised owner: the box stays on the screen.
  EXPECT_EQ(text_of(message_box_rect({300, 100}, {-32000, -32000, -31840, -31970}, work)),
            "0,0,300,100");
}

std::vector<HWND> children_of(HWND parent) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

bool contains(const RECT& outer, const RECT& inner) {
  RECT both{};
  IntersectRect(&both, &outer, &inner);
  return EqualRect(&both, &inner) != FALSE;
}

RECT client_rect_of(HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// The height `text` needs in `control`'s font and width.
int needed_height(HWND control, const std::wstring& text) {
  RECT rect = client_rect_of(control);
  rect.bottom = rect.top;
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
            DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return rect.bottom - rect.top;
}

TEST(Messages, TheQuietBoxShowsItsWholeTextWithoutTakingTheFocus) {
  // An owner that hangs over the bottom right corner of the screen.
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  HWND owner =
      CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, work.right - 100,
                      work.bottom - 100, 360, 600, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  const std::wstring texts[] = {
      L"Short.",
      L"Typing stopped after 3 of 8 entries: Esc was pressed. This sentence goes on long enough "
      L"to wrap over several lines of the box, with a long word: Donaudampfschifffahrt.",
  };
  for (const std::wstring& text : texts) {
    HWND before = GetForegroundWindow();
    HWND box = show_quiet_message(owner, text, L"caption");
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(IsWindowVisible(box));
    EXPECT_EQ(GetForegroundWindow(), before);
    RECT box_rect{};
    GetWindowRect(box, &box_rect);
    EXPECT_TRUE(contains(work, box_rect)) << "inside the work area";

    RECT client{};
    GetClientRect(box, &client);
    const std::vector<HWND> children = children_of(box);
    ASSERT_EQ(children.size(), 3u);  // icon, text, OK
    for (std::size_t i = 0; i < children.size(); ++i) {
      const RECT a = client_rect_of(children[i]);
      EXPECT_TRUE(contains(client, a)) << "control " << i << " inside the box";
      for (std::size_t j = i + 1; j < children.size(); ++j) {
        const RECT b = client_rect_of(children[j]);
        RECT overlap{};
        EXPECT_FALSE(IntersectRect(&overlap, &a, &b)) << "controls " << i << " and " << j;
      }
    }
    HWND text_control = children[1];
    wchar_t shown[512] = {};
    GetWindowTextW(text_control, shown, 512);
    EXPECT_EQ(shown, text);
    const RECT text_rect = client_rect_of(text_control);
    EXPECT_GE(text_rect.bottom - text_rect.top, needed_height(text_control, text));

    // OK closes it.
    SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindow(box));
  }
  DestroyWindow(owner);
}

}  // namespace
}  // namespace tavrino
