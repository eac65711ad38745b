// SPDX-License-Identifier: MIT
#include "platform/qt/file_dialog.h"

#include <QFile>
#include <QFileDialog>
#include <filesystem>
#include <string>
#include <system_error>

#include "base/text.h"
#include "platform/qt/qt_text.h"
#include "sheet/file_reader.h"

namespace tavrino {
namespace {

std::string native_bytes(const QString& text) {
  return QFile::encodeName(text).toStdString();
}

// A file dialog that lets a name Qt cannot spell be chosen: Qt checks that
// the file chosen exists by its name with U+FFFD in it, which no file has.
class ByteNameDialog final : public QFileDialog {
 public:
  using QFileDialog::QFileDialog;

  void accept() override {
    const QStringList files = selectedFiles();
    if (files.size() == 1 && files.front().contains(QChar::ReplacementCharacter)) {
      std::u16string path = path_of_choice(files.front());
      std::error_code code;
      if (std::filesystem::is_regular_file(filesystem_path(path), code)) {
        recovered_ = std::move(path);
        QDialog::accept();
        return;
      }
    }
    QFileDialog::accept();
  }

  // The path of a name Qt cannot spell, when that was chosen; else empty.
  const std::u16string& recovered() const { return recovered_; }

 private:
  std::u16string recovered_;
};

}  // namespace

QStringList qt_name_filters(std::u16string_view filter) {
  QStringList names;
  for (const FileFilter& pair : offered_filters(filter)) {
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

std::u16string path_of_choice(const QString& chosen) {
  if (!chosen.contains(QChar::ReplacementCharacter)) return path_from_bytes(native_bytes(chosen));
  std::string resolved;
  const QStringList parts = chosen.split(u'/');
  for (qsizetype i = 0; i < parts.size(); ++i) {
    const QString& part = parts[i];
    std::string bytes = native_bytes(part);
    if (part.contains(QChar::ReplacementCharacter)) {
      // The folder as found so far; "/" for the top, "." for a relative path.
      const std::filesystem::path folder(resolved.empty() ? std::string(i == 0 ? "." : "/")
                                                          : resolved);
      int matches = 0;
      std::string match;
      std::error_code code;
      for (std::filesystem::directory_iterator it(folder, code), end; !code && it != end;
           it.increment(code)) {
        const std::string name = it->path().filename().native();
        if (QFile::decodeName(QByteArray::fromStdString(name)) == part) {
          ++matches;
          match = name;
        }
      }
      if (matches == 1) bytes = match;
    }
    if (i > 0) resolved += '/';
    resolved += bytes;
  }
  return path_from_bytes(resolved);
}

Status QtOpenDialog::show_open(std::u16string_view filter, std::u16string& file_name) {
  ByteNameDialog dialog(parent_);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  const QStringList names = qt_name_filters(filter);
  if (!names.isEmpty()) dialog.setNameFilters(names);  // the first one is chosen
  if (!file_name.empty()) dialog.selectFile(to_qstring(file_name));

  file_name.clear();
  if (dialog.exec() == QDialog::Accepted) {
    const QStringList chosen = dialog.selectedFiles();
    if (!dialog.recovered().empty()) {
      file_name = dialog.recovered();
    } else if (!chosen.isEmpty()) {
      file_name = path_of_choice(chosen.first());
    }
  }
  return Status::success();
}

}  // namespace tavrino
