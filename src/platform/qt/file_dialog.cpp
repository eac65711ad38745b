// SPDX-License-Identifier: MIT
#include "platform/qt/file_dialog.h"

#include <QFileDialog>

#include "platform/qt/qt_text.h"

namespace tavrino {

QStringList qt_name_filters(std::u16string_view filter) {
  QStringList names;
  for (const FileFilter& pair : split_filter(filter)) {
    QStringList patterns;
    for (const QString& pattern : to_qstring(pair.pattern).split(u';', Qt::SkipEmptyParts)) {
      const QString trimmed = pattern.trimmed();
      if (trimmed.isEmpty()) continue;
      patterns << (trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
    }
    if (patterns.isEmpty()) patterns << QStringLiteral("*");
    const QString joined = patterns.join(u' ');

    QString description = to_qstring(pair.description).trimmed();
    const QString written = QStringLiteral("(%1)").arg(joined);
    const QString original = QStringLiteral("(%1)").arg(to_qstring(pair.pattern).trimmed());
    if (description.endsWith(original)) {
      // "All files (*.*)": show the pattern that is really applied.
      description.chop(original.size());
      description = description.trimmed();
    }
    names << (description.isEmpty() ? written : description + u' ' + written);
  }
  return names;
}

Status QtOpenDialog::show_open(std::u16string_view filter, std::u16string& file_name) {
  QFileDialog dialog(parent_);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  const QStringList names = qt_name_filters(filter);
  if (!names.isEmpty()) dialog.setNameFilters(names);  // the first one is chosen
  if (!file_name.empty()) dialog.selectFile(to_qstring(file_name));

  file_name.clear();
  if (dialog.exec() == QDialog::Accepted) {
    const QStringList chosen = dialog.selectedFiles();
    if (!chosen.isEmpty()) file_name = to_u16string(chosen.first());
  }
  return Status::success();
}

}  // namespace tavrino
