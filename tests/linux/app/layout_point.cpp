// SPDX-License-Identifier: MIT
// tavrino_layout_point NAME
// Prints "X Y", the middle of the control NAME (cmdStart, txtTime, ...) in
// pixels from the top-left corner of the window's client area, worked out
// from the layout table as the window does (15 twips to a pixel). The tests
// click there with a real mouse. Exit status 2 for an unknown name.
// tavrino_layout_point --caption
// Prints the title of tavrino's window, by which the scripts find it.
#include <cstdio>
#include <string>
#include <string_view>

#include "base/text.h"

#include "window/layout.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: tavrino_layout_point NAME | --caption\n", stderr);
    return 2;
  }
  const std::string_view name = argv[1];
  if (name == "--caption") {
    std::puts(tavrino::utf16_to_utf8(tavrino::kWindowCaption).c_str());
    return 0;
  }
  for (const tavrino::ControlLayout& layout : tavrino::form1_layout()) {
    if (layout.name != name) continue;
    int left = layout.left;
    int top = layout.top;
    // A control inside a frame is placed relative to the frame.
    for (auto parent = layout.parent; parent; parent = tavrino::layout_of(*parent).parent) {
      left += tavrino::layout_of(*parent).left;
      top += tavrino::layout_of(*parent).top;
    }
    const int px = tavrino::kTwipsPerPixel;
    std::printf("%d %d\n", (left + layout.width / 2) / px, (top + layout.height / 2) / px);
    return 0;
  }
  std::fprintf(stderr, "No control is named %s.\n", argv[1]);
  return 2;
}
