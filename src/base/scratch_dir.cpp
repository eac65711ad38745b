// SPDX-License-Identifier: MIT
#include "base/scratch_dir.h"

#include <atomic>
#include <fstream>
#include <random>
#include <stdexcept>
#include <system_error>

namespace tavrino {

ScratchDir::ScratchDir() {
  // The random part keeps two test runs apart, the counter two folders of
  // one run.
  static const unsigned run = std::random_device{}();
  static std::atomic<unsigned> counter = 0;
  path_ = std::filesystem::temp_directory_path() /
          ("tavrino_test_" + std::to_string(run) + "_" + std::to_string(counter++));
  std::filesystem::create_directories(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path ScratchDir::write(const std::filesystem::path& name,
                                        std::string_view bytes) const {
  const std::filesystem::path file = path_ / name;
  std::ofstream out(file, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
  return file;
}

}  // namespace tavrino
