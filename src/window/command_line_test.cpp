// SPDX-License-Identifier: MIT
#include "window/command_line.h"

#include <gtest/gtest.h>

#include "tavrino_version.h"

namespace tavrino {
namespace {

using Mode = CommandLine::Mode;

TEST(CommandLine, Parse) {
  const struct {
    std::vector<std::u16string> args;
    Mode mode;
    std::u16string file;
  } cases[] = {
      {{}, Mode::window, u""},
      {{u"marks.ipt"}, Mode::window, u"marks.ipt"},
      {{u"-"}, Mode::window, u"-"},
      {{u"--", u"--check"}, Mode::window, u"--check"},
      {{u"--check", u"marks.ipt"}, Mode::check, u"marks.ipt"},
      {{u"marks.ipt", u"--check"}, Mode::check, u"marks.ipt"},
      {{u"--check", u"--", u"-odd.ipt"}, Mode::check, u"-odd.ipt"},
      {{u"--help"}, Mode::help, u""},
      {{u"-h", u"--bogus"}, Mode::help, u""},
      {{u"--version"}, Mode::version, u""},
      {{u"--bogus"}, Mode::usage_error, u""},
      {{u"-x", u"marks.ipt"}, Mode::usage_error, u""},
      {{u"--check"}, Mode::usage_error, u""},
      {{u"--check", u"--"}, Mode::usage_error, u""},
      {{u"--check", u"a.ipt", u"b.ipt"}, Mode::usage_error, u""},
      {{u"--check", u"--check", u"a.ipt"}, Mode::usage_error, u""},
      {{u"a.ipt", u"b.ipt"}, Mode::usage_error, u""},
  };
  for (const auto& c : cases) {
    const CommandLine line = parse_command_line(c.args);
    SCOPED_TRACE(line.error);
    EXPECT_EQ(line.mode, c.mode) << "case " << (&c - cases);
    EXPECT_EQ(line.file, c.file) << "case " << (&c - cases);
    EXPECT_EQ(line.error.empty(), c.mode != Mode::usage_error) << "case " << (&c - cases);
  }
}

TEST(CommandLine, HelpAndVersionTexts) {
  const std::string help = help_text("tav");
  for (const char* needed :
       {"tav [FILE]", "tav --check FILE", "--version", ".ipt", "START", "Esc", "B{+}", "Tab"}) {
    EXPECT_NE(help.find(needed), std::string::npos) << needed;
  }
  EXPECT_TRUE(help.ends_with("\n"));
  EXPECT_EQ(version_text(), std::string("tavrino ") + TAVRINO_VERSION + "\n");
}

}  // namespace
}  // namespace tavrino
