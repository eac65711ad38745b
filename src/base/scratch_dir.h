// SPDX-License-Identifier: MIT
// For tests: a folder of its own under the system's temporary folder, removed
// with everything in it when the object goes, so that tests running at the
// same time never see each other's files.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tavrino {

class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // Writes `bytes` to the file `name` in the folder, replacing it; returns its
  // path. Throws std::runtime_error when the file cannot be written.
  std::filesystem::path write(const std::filesystem::path& name, std::string_view bytes) const;

 private:
  std::filesystem::path path_;
};

// One data file in a ScratchDir of its own.
class ScratchFile {
 public:
  explicit ScratchFile(std::string_view bytes, std::string_view name = "data.ipt")
      : path_(dir_.write(std::filesystem::path(name), bytes)) {}

  const std::filesystem::path& fs_path() const { return path_; }
  std::u16string path() const { return path_.u16string(); }

 private:
  ScratchDir dir_;
  std::filesystem::path path_;
};

}  // namespace tavrino
