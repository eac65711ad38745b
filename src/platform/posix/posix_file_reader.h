// SPDX-License-Identifier: MIT
// The FileReader of the Linux front-end. A path is bytes here (path_to_bytes
// in base/text.h gives them back from the core's text). A regular file is
// refused by its size before it is read, like StandardFileReader does; a pipe
// (a FIFO, "/dev/stdin" from a pipe, "<(command)") or a character device
// (a terminal, /dev/zero) is read as a stream without ever blocking: it ends
// when the writer closes it, and is refused when nothing arrives for the
// limits' `quiet` time, when it has not ended within `total`, or when it
// delivers more than `max_bytes`. A FIFO that no program writes to is so
// answered after `quiet`. Block devices and sockets are refused.
#pragma once

#include "sheet/file_reader.h"

namespace tavrino {

class PosixFileReader final : public FileReader {
 public:
  explicit PosixFileReader(ReadLimits limits = {}) : limits_(limits) {}
  Status read_file(std::u16string_view path, std::vector<std::byte>& bytes) const override;

 private:
  ReadLimits limits_;
};

}  // namespace tavrino
