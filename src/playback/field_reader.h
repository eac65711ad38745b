// SPDX-License-Identifier: MIT
// The seam to the desktop's accessibility layer, through which the playback
// looks at what each field of the other program holds once typing is done:
// forms upper-case text, cut it at a maximum length or reformat it, and the
// user should hear about it before the marks are saved.
//
// The platform's reader names fields by handles that mean nothing to the
// core; the core keeps one per entry and asks for its text after typing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tavrino {

// A field of another program's form, as the reader names it. The same field
// always gets the same handle from one reader.
struct FieldHandle {
  std::uint64_t id = 0;
  bool operator==(const FieldHandle&) const = default;
};

// What a field holds, as far as the reader can tell.
struct FieldText {
  enum class Kind : std::uint8_t {
    text,        // `text` is what the field holds
    masked,      // a password field: `text` is what it shows (one bullet a
                 // character), so only its length says anything
    unreadable,  // the field is gone, or tells nothing
  };
  Kind kind = Kind::unreadable;
  std::u16string text;
};

class FieldReader {
 public:
  virtual ~FieldReader() = default;

  // Whether fields can be read at all now (the desktop's accessibility layer
  // is there). Asked once when typing begins.
  virtual bool available() = 0;

  // The field that has the keyboard focus now, waiting a short while for
  // news of it when none is known yet; nothing when the focus is on
  // something that is no field (a button, a list) or in a program that
  // tells nothing. With `away_from`, the field of the entry before, whose
  // Tab has just been sent: waits a short while for the focus to reach
  // another field, and answers nothing when it does not, so that no entry
  // is ever given the field of the one before.
  virtual std::optional<FieldHandle> focused_field(std::optional<FieldHandle> away_from) = 0;

  // What `field` holds now.
  virtual FieldText read(FieldHandle field) = 0;

  // One or two sentences on what makes fields readable, for the message that
  // says none could be read: how to turn the desktop's accessibility on, or
  // what the program with the form needs.
  virtual std::u16string how_to_read() = 0;
};

}  // namespace tavrino
