// SPDX-License-Identifier: MIT
// The Open dialog: Qt's modal file dialog behind the OpenDialog seam.
#pragma once

#include <QStringList>
#include <string>
#include <string_view>

#include "window/controls.h"

class QWidget;

namespace tavrino {

// Turns a filter written as "description|pattern|..." into Qt name filters,
// in the same order: "Data Files (*.ipt) |*.ipt|" gives "Data Files (*.ipt)".
// Qt takes the patterns from the parentheses at the end of a name filter, so
// each description ends in its patterns there, written the way Qt reads them:
// "(*.a;*.b)" at the end of a description is replaced, and patterns are
// appended to a description without them. Several patterns are separated by
// blanks, and "*.*" becomes "*", since on Linux "*.*" misses every name
// without a dot. A pair without patterns offers every file.
QStringList qt_name_filters(std::u16string_view filter);

// The core's text for a path the dialog gives (path_from_bytes of its bytes).
// Qt shows a file name that is not UTF-8 (Latin-1 from an old USB stick) with
// U+FFFD for each bad byte and cannot give the bytes back, so each part of the
// path with U+FFFD in it is looked up among the names in its folder: when
// exactly one of them shows the same in Qt, its real bytes are taken. A part
// that cannot be told apart stays as Qt gave it.
std::u16string path_of_choice(const QString& chosen);

class QtOpenDialog final : public OpenDialog {
 public:
  // `parent` is the window the dialog is modal to.
  explicit QtOpenDialog(QWidget* parent) : parent_(parent) {}

  // Shows the dialog with the first filter chosen and waits for the user.
  // Only existing files can be chosen, also those whose names are not UTF-8.
  // Never fails.
  Status show_open(std::u16string_view filter, std::u16string& file_name) override;

 private:
  QWidget* parent_;
};

}  // namespace tavrino
