// SPDX-License-Identifier: MIT
#include "window/command_line.h"

#include <gtest/gtest.h>

#include "window/fakes.h"

namespace tavrino {
namespace {

using Mode = CommandLine::Mode;

TEST(CommandLine, Parse) {
  const struct {
    std::vector<std::u16string> args;
    Mode mode;
    std::u16string file;
    bool unicode = false;
  } cases[] = {
      {{}, Mode::window, u""},
      {{u"marks.ipt"}, Mode::window, u"marks.ipt"},
      {{u"-"}, Mode::window, u"-"},
      {{u"--unicode"}, Mode::window, u"", true},
      {{u"--", u"--unicode"}, Mode::window, u"--unicode", false},
      {{u"--check", u"marks.ipt"}, Mode::check, u"marks.ipt"},
      {{u"marks.ipt", u"--check"}, Mode::check, u"marks.ipt"},
      {{u"--check", u"--", u"-odd.ipt"}, Mode::check, u"-odd.ipt"},
      {{u"--help"}, Mode::help, u""},
      {{u"-h", u"--bogus"}, Mode::help, u""},
      {{u"--version"}, Mode::version, u""},
      {{u"--bogus"}, Mode::usage_error, u""},
      {{u"--check"}, Mode::usage_error, u""},
      {{u"--check", u"a.ipt", u"b.ipt"}, Mode::usage_error, u""},
      {{u"a.ipt", u"b.ipt"}, Mode::usage_error, u""},
  };
  for (const auto& c : cases) {
    const CommandLine line = parse_command_line(c.args);
    SCOPED_TRACE(line.error);
    EXPECT_EQ(line.mode, c.mode) << "case " << (&c - cases);
    EXPECT_EQ(line.file, c.file) << "case " << (&c - cases);
    EXPECT_EQ(line.error.empty(), c.mode != Mode::usage_error) << "case " << (&c - cases);
    if (c.mode == Mode::window) {
      EXPECT_EQ(line.unicode, c.unicode) << "case " << (&c - cases);
    }
  }
}

// The help takes its limits from the code's constants: whatever they say,
// it must still read in an 80-column terminal.
TEST(CommandLine, HelpFitsATerminal) {
  const std::string help = help_text("tavrino.exe");
  ASSERT_TRUE(help.ends_with("\n"));
  std::size_t start = 0;
  for (std::size_t end = help.find('\n'); end != std::string::npos;
       start = end + 1, end = help.find('\n', start)) {
    EXPECT_LE(end - start, 79u) << help.substr(start, end - start);
  }
}

// Records what the runner asked of the front-end.
class RecordingFrontEnd : public FrontEnd {
 public:
  void write(Stream stream, const std::string& utf8) override {
    (stream == Stream::out ? out : err) += utf8;
  }
  int run_window(const WindowOptions& options) override {
    windows.push_back(options);
    return 7;
  }
  const FileReader& file_reader() override { return reader; }
  StandardFileReader reader;
  std::string out, err;
  std::vector<WindowOptions> windows;
};

TEST(CommandLine, RunsWhatItAsks) {
  const ScratchFile data(kTypicalFile);
  const ScratchFile bad("2\nany\nA_%_B\nB+_%_1\nany\nany\n7A\nany\nM\nany\nE\nN\n");
  const struct {
    std::vector<std::u16string> args;
    int exit_code;
    std::string out;  // a part of standard output; empty: nothing is written
    std::string err;  // the same for standard error
    std::vector<WindowOptions> windows;
  } cases[] = {
      {{u"--help"}, 0, "Usage: tav [--unicode] [FILE]", "", {}},
      {{u"--version"}, 0, "tavrino ", "", {}},
      {{u"--bogus"}, 2, "", "Unknown option \"--bogus\"", {}},
      {{u"--check", data.path()}, 0, "1. Ann\t\t45\n", "", {}},
      {{u"--check", bad.path()}, 2, "", "Entry 1 (\"B+\") cannot be typed", {}},
      {{}, 7, "", "", {{.file = u"", .unicode = false}}},
      {{data.path()}, 7, "", "", {{.file = data.path(), .unicode = false}}},
      {{u"--unicode", data.path()}, 7, "", "", {{.file = data.path(), .unicode = true}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("case " + std::to_string(&c - cases));
    RecordingFrontEnd front_end;
    EXPECT_EQ(run_command_line(c.args, "tav", front_end), c.exit_code);
    EXPECT_EQ(front_end.out.empty(), c.out.empty()) << front_end.out;
    EXPECT_NE(front_end.out.find(c.out), std::string::npos) << front_end.out;
    EXPECT_EQ(front_end.err.empty(), c.err.empty()) << front_end.err;
    EXPECT_NE(front_end.err.find(c.err), std::string::npos) << front_end.err;
    EXPECT_EQ(front_end.windows, c.windows);
  }
}

}  // namespace
}  // namespace tavrino
