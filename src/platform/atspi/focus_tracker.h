// SPDX-License-Identifier: MIT
// Which accessible object has the keyboard focus, followed through the focus
// events alone: asking a program for its focused object would mean walking
// its tree, and a browser's is large, a spreadsheet's claims 2^31 cells.
//
// Programs tell the focus in three ways, all of which this follows:
// - GTK: "focused 0" for the field left, then "focused 1" for the new one,
//   often twice;
// - Firefox: "focused 1" for the new field, with or without a "focused 0";
// - LibreOffice Calc: the sheet keeps the focus and names its current cell
//   by "active-descendant-changed"; while a cell is edited an editor takes
//   the focus, and when it gives it back the sheet names the old cell again
//   before the new one.
//
// `Object` is the caller's reference to an accessible object: copyable,
// compared with ==, and default-constructed for none.
#pragma once

namespace tavrino {

template <typename Object>
class FocusTracker {
 public:
  // What has the focus: `object`, and when it manages its children itself
  // (a spreadsheet's table), the child it last named as its current one.
  struct Target {
    Object object{};
    Object descendant{};
    bool operator==(const Target&) const = default;
  };

  // object:state-changed:focused with detail 1.
  void focused(const Object& object) { focus_ = object; }

  // object:state-changed:focused with detail 0. A late "left" for a field
  // after the next one has been entered changes nothing.
  void unfocused(const Object& object) {
    if (object == focus_) focus_ = Object{};
  }

  // object:active-descendant-changed: `container` now names `descendant` as
  // its current child. Only the last one is kept: a container that takes
  // the focus back names its current child again.
  void active_descendant(const Object& container, const Object& descendant) {
    container_ = container;
    descendant_ = descendant;
  }

  // Forgets everything, so that the references held are let go.
  void clear() { *this = FocusTracker(); }

  Target current() const {
    if (focus_ == Object{}) return {};
    if (container_ == focus_) return {focus_, descendant_};
    return {focus_, Object{}};
  }

 private:
  Object focus_{};
  Object container_{};
  Object descendant_{};
};

}  // namespace tavrino
