// SPDX-License-Identifier: MIT
#include "platform/atspi/atspi_field_reader.h"

#include <atspi/atspi.h>
#include <dbus/dbus.h>
#include <unistd.h>

#include <chrono>
#include <string_view>
#include <utility>

#include "base/text.h"

namespace tavrino {

namespace {

// More than this many sources run in one dispatch() would mean something
// stays ready for ever; the window's event loop must get its turn.
constexpr int kMostDispatched = 10000;

// Roles of what takes typed text. Anything else with the focus (a button, a
// list, a whole sheet) is no field: its text, if it has any, is no record
// of what was typed.
bool field_role(AtspiRole role) {
  switch (role) {
    case ATSPI_ROLE_ENTRY:
    case ATSPI_ROLE_TEXT:
    case ATSPI_ROLE_PASSWORD_TEXT:
    case ATSPI_ROLE_SPIN_BUTTON:
    case ATSPI_ROLE_COMBO_BOX:
    case ATSPI_ROLE_PARAGRAPH:
    case ATSPI_ROLE_EDITBAR:
    case ATSPI_ROLE_TABLE_CELL:
      return true;
    default:
      return false;
  }
}

bool window_role(AtspiRole role) {
  switch (role) {
    case ATSPI_ROLE_ROOT_PANE:
    case ATSPI_ROLE_FRAME:
    case ATSPI_ROLE_WINDOW:
    case ATSPI_ROLE_APPLICATION:
      return true;
    default:
      return false;
  }
}

bool editable(AtspiAccessible* object) {
  // Only the state set is asked for: libatspi fetches it with GetState,
  // never with Properties.GetAll, which made Chromium crash.
  AtspiStateSet* states = atspi_accessible_get_state_set(object);
  if (states == nullptr) return false;
  const bool result = atspi_state_set_contains(states, ATSPI_STATE_EDITABLE) != FALSE;
  g_object_unref(states);
  return result;
}

AtspiRole role_of(AtspiAccessible* object) {
  GError* error = nullptr;
  const AtspiRole role = atspi_accessible_get_role(object, &error);
  if (error != nullptr) {
    g_error_free(error);
    return ATSPI_ROLE_INVALID;
  }
  return role;
}

std::string bus_name(AtspiAccessible* object) {
  const AtspiObject* base = ATSPI_OBJECT(object);
  if (base->app == nullptr || base->app->bus_name == nullptr) return {};
  return base->app->bus_name;
}

std::string object_key(AtspiAccessible* object) {
  const AtspiObject* base = ATSPI_OBJECT(object);
  return bus_name(object) + ' ' + (base->path != nullptr ? base->path : "");
}

// The text of `object`; nothing when it has none or cannot be asked.
std::optional<std::u16string> text_of(AtspiAccessible* object) {
  AtspiText* text = atspi_accessible_get_text_iface(object);
  if (text == nullptr) return std::nullopt;
  GError* error = nullptr;
  gchar* utf8 = atspi_text_get_text(text, 0, -1, &error);
  g_object_unref(text);
  if (error != nullptr || utf8 == nullptr) {
    if (error != nullptr) g_error_free(error);
    g_free(utf8);
    return std::nullopt;
  }
  std::u16string result = utf8_to_utf16(utf8);
  g_free(utf8);
  return result;
}

// A cell of a table that makes its cells as they are asked for: where it
// is, or nothing.
struct CellPlace {
  int row = -1;
  int column = -1;
};
std::optional<CellPlace> cell_place(AtspiAccessible* table, AtspiAccessible* cell) {
  AtspiTable* cells = atspi_accessible_get_table_iface(table);
  if (cells == nullptr) return std::nullopt;
  GError* error = nullptr;
  const gint index = atspi_accessible_get_index_in_parent(cell, &error);
  CellPlace place;
  if (error == nullptr && index >= 0)
    place.row = atspi_table_get_row_at_index(cells, index, &error);
  if (error == nullptr && place.row >= 0) {
    place.column = atspi_table_get_column_at_index(cells, index, &error);
  }
  g_object_unref(cells);
  if (error != nullptr) {
    g_error_free(error);
    return std::nullopt;
  }
  if (place.row < 0 || place.column < 0) return std::nullopt;
  return place;
}

}  // namespace

ObjectRef::ObjectRef(AtspiAccessible* object) : object_(object) {
  if (object_ != nullptr) g_object_ref(object_);
}

ObjectRef::ObjectRef(const ObjectRef& other) : ObjectRef(other.object_) {}

ObjectRef& ObjectRef::operator=(const ObjectRef& other) {
  if (this != &other) {
    ObjectRef copy(other);
    std::swap(object_, copy.object_);
  }
  return *this;
}

ObjectRef::~ObjectRef() {
  if (object_ != nullptr) g_object_unref(object_);
}

AtspiFieldReader::AtspiFieldReader() {
  (void)connect();
}

AtspiFieldReader::~AtspiFieldReader() {
  if (listener_ != nullptr) {
    atspi_event_listener_deregister(listener_, "object:state-changed:focused", nullptr);
    atspi_event_listener_deregister(listener_, "object:active-descendant-changed", nullptr);
    g_object_unref(listener_);
  }
  tracker_.clear();
  last_target_ = {};
  fields_.clear();
  if (connected_) atspi_exit();
  if (context_ != nullptr) g_main_context_unref(context_);
}

bool AtspiFieldReader::connect() {
  if (connected_) return true;
  // atspi_init() counts as done even when it fails, so it is tried only
  // once the bus is known to be there.
  if (tried_ || !session_a11y_status().running) return false;
  tried_ = true;
  if (atspi_init() != 0) return false;
  atspi_set_timeout(kCallTimeoutMs, 0);
  context_ = g_main_context_new();
  atspi_set_main_context(context_);
  listener_ = atspi_event_listener_new(&AtspiFieldReader::on_event, this, nullptr);
  for (const char* type : {"object:state-changed:focused", "object:active-descendant-changed"}) {
    GError* error = nullptr;
    if (!atspi_event_listener_register(listener_, type, &error)) {
      if (error != nullptr) g_error_free(error);
      return false;
    }
  }
  connected_ = true;
  if (watch_) watch_connection(watch_);
  return true;
}

void AtspiFieldReader::watch_connection(std::function<void(int fd)> watch) {
  watch_ = std::move(watch);
  int fd = -1;
  if (connected_ && dbus_connection_get_unix_fd(atspi_get_a11y_bus(), &fd)) watch_(fd);
}

void AtspiFieldReader::dispatch() {
  if (context_ == nullptr) return;
  for (int i = 0; i < kMostDispatched && g_main_context_iteration(context_, FALSE); ++i) {
  }
}

void AtspiFieldReader::on_event(AtspiEvent* event, void* reader) {
  static_cast<AtspiFieldReader*>(reader)->take(*event);
  g_boxed_free(ATSPI_TYPE_EVENT, event);
}

void AtspiFieldReader::take(const AtspiEvent& event) {
  if (event.type == nullptr || event.source == nullptr) return;
  const std::string_view type = event.type;
  const ObjectRef source(event.source);
  if (type.starts_with("object:state-changed:focused")) {
    if (event.detail1 != 0) {
      // LibreOffice says its window's root pane has the focus after its
      // sheet took it, while the sheet keeps it. The focus proper is never
      // on a window as a whole. (This program's own windows are not asked.)
      if (!in_this_program(event.source) && window_role(role_of(event.source))) return;
      tracker_.focused(source);
    } else {
      tracker_.unfocused(source);
    }
  } else if (type.starts_with("object:active-descendant-changed") &&
             G_VALUE_HOLDS(&event.any_data, ATSPI_TYPE_ACCESSIBLE)) {
    auto* child = static_cast<AtspiAccessible*>(g_value_get_object(&event.any_data));
    if (child != nullptr) tracker_.active_descendant(source, ObjectRef(child));
  }
}

void AtspiFieldReader::wait_for_event(int ms) {
  GSource* timeout = g_timeout_source_new(static_cast<guint>(ms));
  g_source_set_callback(
      timeout, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr, nullptr);
  g_source_attach(timeout, context_);
  g_main_context_iteration(context_, TRUE);
  g_source_destroy(timeout);
  g_source_unref(timeout);
}

bool AtspiFieldReader::in_this_program(AtspiAccessible* object) {
  // A call into this program's own windows (Qt answers for them when
  // accessibility is on) would wait for the thread that is making it.
  const std::string name = bus_name(object);
  const auto known = this_program_.find(name);
  if (known != this_program_.end()) return known->second;
  GError* error = nullptr;
  const guint pid = atspi_accessible_get_process_id(object, &error);
  // Unknown counts as this program: nothing is asked of it.
  const bool ours = error != nullptr || pid == static_cast<guint>(getpid());
  if (error != nullptr) g_error_free(error);
  this_program_[name] = ours;
  return ours;
}

std::optional<FieldHandle> AtspiFieldReader::handle_for(const std::string& key, Field field) {
  const auto known = ids_.find(key);
  if (known != ids_.end()) return FieldHandle{known->second};
  fields_.push_back(std::move(field));
  const std::uint64_t id = fields_.size();
  ids_[key] = id;
  return FieldHandle{id};
}

std::optional<FieldHandle> AtspiFieldReader::field_of(const Target& target) {
  // Copies: what is looked at stays alive while libatspi, between its
  // calls, hands in further events that move the focus on.
  const ObjectRef object = target.object;
  const ObjectRef descendant = target.descendant;
  if (!object || in_this_program(object.get())) return std::nullopt;
  if (descendant) {
    // A spreadsheet's current cell: kept as its place in the table, since
    // the cell object goes away once another cell is the current one.
    if (role_of(descendant.get()) != ATSPI_ROLE_TABLE_CELL || !editable(descendant.get())) {
      return std::nullopt;
    }
    const std::optional<CellPlace> place = cell_place(object.get(), descendant.get());
    if (!place) return std::nullopt;
    return handle_for(object_key(object.get()) + ' ' + std::to_string(place->row) + ' ' +
                          std::to_string(place->column),
                      {object, place->row, place->column, false});
  }
  const AtspiRole role = role_of(object.get());
  if (!field_role(role) || !editable(object.get())) return std::nullopt;
  return handle_for(object_key(object.get()), {object, -1, -1, role == ATSPI_ROLE_PASSWORD_TEXT});
}

std::optional<FieldHandle> AtspiFieldReader::current_field() {
  const Target target = tracker_.current();
  if (!(target == last_target_)) {
    last_target_ = target;
    last_field_ = field_of(target);
  }
  return last_field_;
}

bool AtspiFieldReader::available() {
  return connect();
}

std::optional<FieldHandle> AtspiFieldReader::focused_field(std::optional<FieldHandle> away_from) {
  if (!connected_) return std::nullopt;
  dispatch();
  std::optional<FieldHandle> field = current_field();
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kFocusWaitMs);
  // The focus may pass through no field on its way (a spreadsheet's editor
  // gives it back to the sheet, which names the old cell before the new);
  // news of the field the user clicked into may still be on its way.
  while (!field || field == away_from) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return std::nullopt;
    wait_for_event(static_cast<int>(left));
    dispatch();
    field = current_field();
  }
  return field;
}

FieldText AtspiFieldReader::read(FieldHandle handle) {
  if (!connected_ || handle.id == 0 || handle.id > fields_.size()) return {};
  dispatch();
  const Field field = fields_[handle.id - 1];
  ObjectRef object = field.object;
  if (field.row >= 0) {
    AtspiTable* cells = atspi_accessible_get_table_iface(object.get());
    if (cells == nullptr) return {};
    GError* error = nullptr;
    AtspiAccessible* cell = atspi_table_get_accessible_at(cells, field.row, field.column, &error);
    g_object_unref(cells);
    if (error != nullptr) g_error_free(error);
    if (cell == nullptr) return {};
    object = ObjectRef(cell);
    g_object_unref(cell);  // ObjectRef holds its own reference
  }
  const std::optional<std::u16string> text = text_of(object.get());
  if (!text) return {};
  return {field.password ? FieldText::Kind::masked : FieldText::Kind::text, *text};
}

std::u16string AtspiFieldReader::how_to_read() {
  // Asked again: the user may have turned accessibility on meanwhile.
  return how_to_read_text(session_a11y_status());
}

}  // namespace tavrino
