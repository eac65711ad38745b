// SPDX-License-Identifier: MIT
// A form for tests, read through the FieldReader seam: its fields take what a
// FakeKeyboard delivers, as a real form would (characters and Enter go
// into the field with the focus, Tab moves the focus on), and each field may
// change what it takes the way web forms do. So a test checks the playback's
// read-back against what really landed where, with no display.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "playback/fake_keyboard.h"
#include "playback/field_reader.h"

namespace tavrino {

class FakeForm final : public FieldReader {
 public:
  enum class Kind : std::uint8_t {
    plain,
    upper_case,  // upper-cases ASCII letters as they come
    max_length,  // keeps the first `max_length` characters
    password,    // reads back masked
    unreadable,  // tells nothing about itself
    button,      // takes the focus but is no field
  };
  struct Field {
    Kind kind = Kind::plain;
    std::size_t max_length = 0;
  };

  // `fields` in Tab order; the focus starts in the first and leaves the form
  // after the last.
  FakeForm(const FakeKeyboard& keyboard, std::vector<Field> fields);

  void set_available(bool available) { available_ = available; }

  bool available() override { return available_; }
  // The field the delivered Tabs have reached; nothing when that is
  // `away_from`, as a reader answers when the focus never moved.
  std::optional<FieldHandle> focused_field(std::optional<FieldHandle> away_from) override;
  FieldText read(FieldHandle field) override;
  std::u16string how_to_read() override { return u"Turn the fake form on."; }

  // The away_from of each focused_field call, in order (0 for nothing).
  const std::vector<std::uint64_t>& away_from_asked() const { return away_from_asked_; }
  int read_calls() const { return read_calls_; }

 private:
  // Handles are the field's index + 1, so that 0 names none.
  std::optional<std::size_t> focused_index() const;
  std::u16string text_of(std::size_t index) const;

  const FakeKeyboard& keyboard_;
  std::vector<Field> fields_;
  bool available_ = true;
  std::vector<std::uint64_t> away_from_asked_;
  int read_calls_ = 0;
};

}  // namespace tavrino
