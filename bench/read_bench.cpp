// SPDX-License-Identifier: MIT
// tavrino_read_bench generate PATH MEGABYTES
//   Writes a data file of about MEGABYTES MB (10^6 bytes; 0 gives the
//   heading and entries alone), as write_reading_file in bench_data.h says.
// tavrino_read_bench read PATH [ROUNDS]
//   Reads PATH with readfile ROUNDS times (3 unless told) in this process,
//   checks that the sheet holds what generate wrote, and prints
//   "bytes=N best_mb_s=X median_mb_s=Y maxrss_kb=Z": the reading rate in
//   10^6 bytes a second and the peak resident memory of the process
//   (getrusage), so one process per file gives each size its own peak.
// Exit status: 0 done, 1 a failure (message on standard error), 64 usage.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "base/text.h"
#include "bench_data.h"
#include "sheet/data_file.h"
#include "sheet/file_reader.h"

namespace {

int generate(const char* path, double megabytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) tavrino::write_reading_file(out, static_cast<std::uint64_t>(megabytes * 1e6));
  out.close();
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path);
    return 1;
  }
  return 0;
}

int read(const char* path, int rounds) {
  std::ifstream probe(path, std::ios::binary | std::ios::ate);
  if (!probe) {
    std::fprintf(stderr, "cannot open %s\n", path);
    return 1;
  }
  const auto bytes = static_cast<double>(probe.tellg());
  probe.close();

  const std::u16string name = tavrino::path_from_bytes(path);
  const tavrino::StandardFileReader reader;
  std::vector<double> rates;
  for (int round = 0; round < rounds; ++round) {
    tavrino::ResultSheet sheet;
    const auto start = std::chrono::steady_clock::now();
    const tavrino::Status status = tavrino::readfile(name, sheet, reader);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (!status) {
      std::fprintf(stderr, "%s\n", tavrino::utf16_to_utf8(status.message()).c_str());
      return 1;
    }
    // A reader that refused the file or lost its place in it would look
    // fast; make sure the sheet holds what generate wrote.
    if (sheet.itemcount != 51 ||
        sheet.examnote != tavrino::utf8_to_utf16(tavrino::kBenchExamNote) ||
        sheet.classtext != tavrino::utf8_to_utf16(tavrino::kBenchClass) ||
        sheet.itemvalue[50].size() != 150) {
      std::fprintf(stderr, "%s: the sheet does not hold what was written\n", path);
      return 1;
    }
    rates.push_back(bytes / 1e6 / took.count());
  }
  std::sort(rates.begin(), rates.end());
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("bytes=%.0f best_mb_s=%.1f median_mb_s=%.1f maxrss_kb=%ld\n", bytes, rates.back(),
              rates[rates.size() / 2], usage.ru_maxrss);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "generate") == 0) {
    return generate(argv[2], std::strtod(argv[3], nullptr));
  }
  if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "read") == 0) {
    const int rounds = argc == 4 ? std::atoi(argv[3]) : 3;
    if (rounds >= 1) return read(argv[2], rounds);
  }
  std::fputs(
      "usage: tavrino_read_bench generate PATH MEGABYTES\n"
      "       tavrino_read_bench read PATH [ROUNDS]\n",
      stderr);
  return 64;
}
