// SPDX-License-Identifier: MIT
// The one error convention of the core: an operation that can fail returns a
// Status, which is either success or a failure carrying one plain sentence for
// the user (what is wrong and where).
#pragma once

#include <string>
#include <utility>

namespace tavrino {

class [[nodiscard]] Status {
 public:
  static Status success() { return Status(); }
  static Status failure(std::u16string message) { return Status(std::move(message)); }

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  // Empty on success.
  const std::u16string& message() const { return message_; }

 private:
  Status() = default;
  explicit Status(std::u16string message) : failed_(true), message_(std::move(message)) {}

  bool failed_ = false;
  std::u16string message_;
};

}  // namespace tavrino
