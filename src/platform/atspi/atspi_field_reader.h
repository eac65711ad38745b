// SPDX-License-Identifier: MIT
// Reads back the fields of other programs through AT-SPI, the Linux
// desktops' accessibility layer, when it runs; it is never switched on from
// here, since that costs every program of the session some speed.
//
// The focus is followed through the programs' focus events (see
// focus_tracker.h), never by walking their trees. A field is kept as its
// program's bus name and object path; a spreadsheet cell, which exists only
// while it is the current one, as its table and its row and column, and is
// read through the table again.
//
// libatspi is not thread-safe and keeps global state, so there is one reader
// in a program, and every call comes from the thread that made it (the
// window's thread). Its connection is served from a main-loop context of its
// own: waiting in it for a focus event runs nothing of the window's, and the
// window's event loop hands it what arrives in between (watch_connection(),
// dispatch()).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/atspi/a11y_status.h"
#include "platform/atspi/focus_tracker.h"
#include "playback/field_reader.h"

typedef struct _AtspiAccessible AtspiAccessible;
typedef struct _AtspiEvent AtspiEvent;
typedef struct _AtspiEventListener AtspiEventListener;
typedef struct _GMainContext GMainContext;

namespace tavrino {

// A counted reference to an accessible object (none when empty).
class ObjectRef {
 public:
  ObjectRef() = default;
  explicit ObjectRef(AtspiAccessible* object);  // takes a reference of its own
  ObjectRef(const ObjectRef& other);
  ObjectRef& operator=(const ObjectRef& other);
  ~ObjectRef();
  AtspiAccessible* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  bool operator==(const ObjectRef& other) const { return object_ == other.object_; }

 private:
  AtspiAccessible* object_ = nullptr;
};

class AtspiFieldReader final : public FieldReader {
 public:
  // How long focused_field waits for the focus to reach the next field.
  static constexpr int kFocusWaitMs = 500;
  // The longest a call into another program may take: one that hangs must
  // not hold the window for long.
  static constexpr int kCallTimeoutMs = 1000;

  // Connects when the accessibility layer runs; otherwise available() tries
  // again each time typing begins.
  AtspiFieldReader();
  ~AtspiFieldReader() override;
  AtspiFieldReader(const AtspiFieldReader&) = delete;
  AtspiFieldReader& operator=(const AtspiFieldReader&) = delete;

  // Calls `watch` with the file descriptor of the accessibility bus's
  // connection once connected (at once when it is), for the event loop to
  // watch: whenever it can be read, call dispatch().
  void watch_connection(std::function<void(int fd)> watch);
  // Takes in the events that have arrived.
  void dispatch();

  bool available() override;
  std::optional<FieldHandle> focused_field(std::optional<FieldHandle> away_from) override;
  FieldText read(FieldHandle field) override;
  std::u16string how_to_read() override;

 private:
  using Target = FocusTracker<ObjectRef>::Target;
  struct Field {
    ObjectRef object;  // the field itself, or for a cell its table
    int row = -1;      // for a cell: where it is in the table
    int column = -1;
    bool password = false;
  };

  bool connect();
  static void on_event(AtspiEvent* event, void* reader);
  void take(const AtspiEvent& event);
  // Blocks until an event arrives or `ms` have passed.
  void wait_for_event(int ms);
  // The field `target` stands for, or nothing.
  std::optional<FieldHandle> field_of(const Target& target);
  std::optional<FieldHandle> current_field();
  std::optional<FieldHandle> handle_for(const std::string& key, Field field);
  bool in_this_program(AtspiAccessible* object);

  std::function<void(int)> watch_;
  bool tried_ = false;  // libatspi starts once per program
  bool connected_ = false;
  GMainContext* context_ = nullptr;
  AtspiEventListener* listener_ = nullptr;
  FocusTracker<ObjectRef> tracker_;
  // The last target looked at and what it stands for, so that waiting asks
  // the program once per change of focus.
  Target last_target_;
  std::optional<FieldHandle> last_field_;
  std::vector<Field> fields_;                 // handle id - 1
  std::map<std::string, std::uint64_t> ids_;  // by bus name, path (and cell)
  std::map<std::string, bool> this_program_;  // by bus name
};

}  // namespace tavrino
