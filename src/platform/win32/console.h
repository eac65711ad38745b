// SPDX-License-Identifier: MIT
// Output of --check, --help and --version. tavrino.exe is a GUI program, so
// Windows gives it no console of its own: text goes to the file or pipe that
// stdout or stderr is redirected to (as UTF-8 bytes), or else to the console
// of the program that started it (as UTF-16, so any character shows).
#pragma once

#include <string_view>

namespace tavrino {

enum class OutputStream { out, err };

// Writes `utf8` whole. Returns false when there is nowhere to write to
// (started from Explorer or a shortcut) or the write failed.
bool write_output(OutputStream stream, std::string_view utf8);

}  // namespace tavrino
