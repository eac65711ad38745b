// SPDX-License-Identifier: MIT
// The sizes of the main window and its list pane, worked out from the
// layout's twips, the DPI and font measures the window takes from Windows.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <vector>

namespace tavrino {

// The list pane's tab stops, in quarters of `average` (the font's average
// character width in pixels), so that the values of all lines start in one
// column two blanks of `space` pixels right of the widest name (`widest`).
// A short name is followed by two tabs and a long one by one, so the first
// stop must lie right of every short name (`widest_short`) and, for the
// values to line up exactly, not right of any long one (`narrowest_long`);
// a negative width means there is no such line. When a short name is wider
// than a long one no stop fits between them, and the two stops are one
// quarter apart: a value after one tab starts that much left of the others.
std::vector<int> value_tab_stops(int widest_short, int narrowest_long, int widest, int space,
                                 int average);

// A font's average character width in pixels, as edit controls reckon it,
// from the width of A to Z and a to z written out.
int average_char_width(int sample_width);

// Twips to pixels at `dpi` dots per inch (1440 twips to the inch).
int pixels_of(int twips, UINT dpi);

// The size of the window (frame included) whose client area is the layout's
// 5310 x 9615 twips at `dpi`.
SIZE window_size_for(DWORD style, DWORD ex_style, UINT dpi);

// How many pixels the list gives up so that a window `window_height` high
// fits a work area `work_height` high: none when it fits, and never so many
// that the list is shorter than `min_list_height` (then the window reaches
// past the work area's bottom, its title bar still in it).
int list_cut(int window_height, int work_height, int list_height, int min_list_height);

}  // namespace tavrino
