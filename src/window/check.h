// SPDX-License-Identifier: MIT
// The --check command: loads a file as Open... would right after start-up and
// checks every value START would type, typing nothing.
#pragma once

#include <string>
#include <string_view>

namespace tavrino {

struct CheckReport {
  // 0: the sheet holds data; `output` is the exam, subject and class captions
  //    (a line each) and then the list pane's lines, each ending in "\n".
  // 1: it holds none; `output` is "No Data...\n".
  // 2: the file was refused or a value cannot be typed; `output` is empty and
  //    `error` is one sentence.
  int exit_code = 0;
  std::string output;  // UTF-8
  std::string error;   // UTF-8, without a line end
};

CheckReport check_file(std::u16string_view path);

}  // namespace tavrino
