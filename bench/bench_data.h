// SPDX-License-Identifier: MIT
// Data files for the benchmarks: one holding the typing text, for the app,
// and large ones for the reader.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace tavrino {

// The heading every data file written here has (items 6 and 11).
inline constexpr char kBenchClass[] = "7A";
inline constexpr char kBenchExamNote[] = "Term 2";

// A UTF-8 data file with CR LF line ends whose entries ("Student 1",
// "Student 2", ...) hold `values`. The values item is quoted, since values
// may hold commas; so they must hold no double quote and no "_%_".
std::string data_file_for(const std::vector<std::u32string>& values);

// Writes a data file of `bytes` bytes or a line more (never less than the
// heading) to `out` and returns its size: the 12 items a sheet takes, with
// 51 values of 150 characters, then item after item that the reader scans
// and drops: quoted items of 1,000 to 16,000 characters with commas and
// line ends in them, unquoted ones of 1,000 to 8,000, lines of 1 to 20
// short items and blank lines, about 3 % of the characters outside ASCII.
// The same for the same size on every machine.
std::uint64_t write_reading_file(std::ostream& out, std::uint64_t bytes);

}  // namespace tavrino
