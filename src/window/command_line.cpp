// SPDX-License-Identifier: MIT
#include "window/command_line.h"

#include <chrono>
#include <string_view>
#include <utility>

#include "base/text.h"
#include "playback/key_string.h"
#include "sheet/data_file.h"
#include "sheet/result_sheet.h"
#include "tavrino_version.h"
#include "window/check.h"

namespace tavrino {
namespace {

CommandLine usage_error(std::string sentence) {
  CommandLine line;
  line.mode = CommandLine::Mode::usage_error;
  line.error = std::move(sentence);
  return line;
}

std::string quoted_utf8(std::u16string_view text) {
  return utf16_to_utf8(quoted(text));
}

// 65536 as "65,536".
std::string grouped(std::uint64_t n) {
  std::string digits = std::to_string(n);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

// The limits the code holds, as the help states them.
std::string limits_text() {
  const ReadLimits limits;
  const auto total = std::chrono::duration_cast<std::chrono::seconds>(limits.total).count();
  return "Limits: " + std::to_string(kSlotCount) + " entries (rows below a header), " +
         grouped(kMaxItemLength) + " characters in one item\nor cell, " +
         utf16_to_utf8(size_text(kMaxFileSize)) + " for a file, " + std::to_string(kMaxRepeat) +
         " for a repeat count such as {TAB 3}. A\npipe or device is refused when nothing "
         "arrives from it for " +
         utf16_to_utf8(duration_text(limits.quiet)) + " or it\nhas not ended within " +
         std::to_string(total) + ".\n";
}

}  // namespace

CommandLine parse_command_line(const std::vector<std::u16string>& args) {
  bool check = false;
  bool unicode = false;
  bool options_ended = false;
  std::vector<std::u16string> files;
  for (const std::u16string& arg : args) {
    // "-" alone is a file name by custom, not an option.
    const bool looks_like_option = !options_ended && arg.size() > 1 && arg[0] == u'-';
    if (!looks_like_option) {
      files.push_back(arg);
      continue;
    }
    if (arg == u"--") {
      options_ended = true;
    } else if (arg == u"--help" || arg == u"-h") {
      return {.mode = CommandLine::Mode::help, .file = {}, .error = {}};
    } else if (arg == u"--version") {
      return {.mode = CommandLine::Mode::version, .file = {}, .error = {}};
    } else if (arg == u"--check") {
      if (check) return usage_error("--check is given more than once.");
      check = true;
    } else if (arg == u"--unicode") {
      unicode = true;
    } else {
      return usage_error("Unknown option " + quoted_utf8(arg) + "; try --help.");
    }
  }

  if (check) {
    if (files.empty()) return usage_error("--check needs the data FILE to check.");
    if (files.size() > 1) {
      return usage_error("--check takes one FILE, but " + quoted_utf8(files[1]) +
                         " follows the first.");
    }
    return {.mode = CommandLine::Mode::check, .file = files[0], .error = {}, .unicode = unicode};
  }
  if (files.size() > 1) {
    return usage_error("Only one FILE can be opened, but " + quoted_utf8(files[1]) +
                       " follows the first.");
  }
  return {.mode = CommandLine::Mode::window,
          .file = files.empty() ? u"" : files[0],
          .error = {},
          .unicode = unicode};
}

std::string help_text(const std::string& program) {
  return "Usage: " + program + " [--unicode] [FILE]\n" + "       " + program + " --check FILE\n" +
         "       " + program + " --help | --version\n" +
         "\n"
         "Types a prepared list of values into the window that has the keyboard\n"
         "focus, each value followed by Tab, to fill another program's form.\n"
         "\n"
         "Open... loads a data file (.ipt) or the rows a spreadsheet saves (.csv,\n"
         "a comma, semicolon or tab between the cells; .tsv; .txt): one row per\n"
         "entry, the name in the first column and the mark in the second, or marks\n"
         "alone in one column, below an optional header row. FILE opens one at\n"
         "start-up; so does a file dropped onto the window, and Ctrl+V loads cells\n"
         "copied from a spreadsheet. START counts down once a second from the\n"
         "number in the countdown box (5 unless you type another); at zero every\n"
         "value is typed into the focused window. Click into the first field of\n"
         "the form while it counts. Press Esc to cancel the countdown, or to stop\n"
         "typing; the next START then goes on with the first entry not typed in\n"
         "full, and the message names the field to click into.\n"
         "\n"
         "Marks from a spreadsheet are typed exactly as written. Values of a data\n"
         "file are typed as key strings: + ^ % ~ ( ) { } [ ] mean Shift, Ctrl,\n"
         "Alt, Enter, grouping and key names, so to type them write them in\n"
         "braces: \"B+\" must be written \"B{+}\", and {TAB} is the Tab key. A\n"
         "value can press shortcuts: ~ is Enter, ^a Ctrl+A, %{F4} closes a window.\n"
         "\n" +
         limits_text() +
         "\n"
         "Rows replace the whole list. Opening a data file changes only what it\n"
         "holds: slots past the end of its lists keep the earlier file's names and\n"
         "values, and a count larger than its lists lists and types them too (a\n"
         "message says which entries).\n"
         "\n"
         "Options:\n"
         "  --check FILE  load FILE, check every value can be typed, and print what\n"
         "                a freshly started window would show (no earlier file's\n"
         "                entries carry over); types nothing. Characters that show\n"
         "                nothing or disguise the text (ESC, CR, tabs in a value,\n"
         "                bidi and zero-width characters...) are printed as\n"
         "                <U+XXXX>, and \"<U+\" itself as \"<U+003C>U+\". Exits with 0\n"
         "                when the file holds data, 1 when it holds none (No\n"
         "                Data...), 2 when it is refused or a value cannot be\n"
         "                typed; what the window would add after loading it (a\n"
         "                guessed header, entries left to the file before) goes to\n"
         "                standard error. FILE may be a pipe, such as /dev/stdin.\n"
         "  --unicode     type every character as itself (on Windows, as a Unicode\n"
         "                packet) instead of pressing the keyboard layout's keys;\n"
         "                for a remote session whose far end has another keyboard\n"
         "                layout. Only Windows types keys by layout; Linux ignores it.\n"
         "  -h, --help    show this help\n"
         "  --version     show the version\n"
         "  --            end of options: what follows is the FILE\n";
}

std::string version_text() {
  return std::string("tavrino ") + TAVRINO_VERSION + "\n";
}

int run_command_line(const std::vector<std::u16string>& args, const std::string& program,
                     FrontEnd& front_end) {
  const CommandLine line = parse_command_line(args);
  switch (line.mode) {
    case CommandLine::Mode::help:
      front_end.write(FrontEnd::Stream::out, help_text(program));
      return 0;
    case CommandLine::Mode::version:
      front_end.write(FrontEnd::Stream::out, version_text());
      return 0;
    case CommandLine::Mode::usage_error:
      front_end.write(FrontEnd::Stream::err, line.error + "\n");
      return 2;
    case CommandLine::Mode::check: {
      const CheckReport report = check_file(line.file, front_end.file_reader());
      if (!report.output.empty()) front_end.write(FrontEnd::Stream::out, report.output);
      if (!report.error.empty()) front_end.write(FrontEnd::Stream::err, report.error + "\n");
      if (!report.note.empty()) front_end.write(FrontEnd::Stream::err, report.note + "\n");
      return report.exit_code;
    }
    case CommandLine::Mode::window:
      break;
  }
  return front_end.run_window({.file = line.file, .unicode = line.unicode});
}

}  // namespace tavrino
