// SPDX-License-Identifier: MIT
#include "platform/qt/file_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>

#include "base/scratch_dir.h"
#include "base/text.h"
#include "platform/qt/qt_text.h"
#include "window/form1.h"

namespace tavrino {
namespace {

TEST(QtNameFilters, TurnsEachPairIntoAQtFilterInOrder) {
  // Every Open dialog also offers the files of rows a spreadsheet saves.
  const QString kSpreadsheets = "Spreadsheet Files (*.csv *.tsv *.txt)";
  struct Case {
    std::u16string_view filter;
    QStringList expected;
  };
  const Case cases[] = {
      {kOpenFilter,
       {"Data Files (*.ipt)", "Text Files (*.txt)", "All files (*)",
        "Spreadsheet Files (*.csv *.tsv *.txt)"}},
      {u"Pictures (*.png;*.jpg)|*.png;*.jpg|", {"Pictures (*.png *.jpg)", kSpreadsheets}},
      {u"|*.ipt|", {"(*.ipt)", kSpreadsheets}},
      {u"Dangling description", {kSpreadsheets}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(qt_name_filters(c.filter), c.expected) << to_qstring(c.filter).toStdString();
  }
}

// Runs `act` on the file dialog once it is open; `act` must close it.
void when_dialog_opens(std::function<void(QFileDialog&)> act) {
  QTimer::singleShot(0, [act] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    act(*dialog);
  });
}

TEST(QtOpenDialog, OffersTheFiltersAndReturnsTheChoiceOrNothing) {
  QWidget parent;
  QtOpenDialog open(&parent);

  // Cancel: the name comes back empty, whatever it was.
  QStringList offered;
  QString chosen_filter;
  when_dialog_opens([&](QFileDialog& dialog) {
    offered = dialog.nameFilters();
    chosen_filter = dialog.selectedNameFilter();
    dialog.reject();
  });
  std::u16string name = u"earlier.ipt";
  ASSERT_TRUE(open.show_open(kOpenFilter, name).ok());
  EXPECT_EQ(name, u"");
  EXPECT_EQ(offered, qt_name_filters(kOpenFilter));
  EXPECT_EQ(chosen_filter, "Data Files (*.ipt)");

  // A chosen file comes back as its full path.
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QString::fromUtf8("Łódź class.ipt"));
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  when_dialog_opens([&](QFileDialog& dialog) {
    dialog.selectFile(path);
    static_cast<QDialog&>(dialog).accept();  // QFileDialog::accept, by the public base
  });
  name.clear();
  ASSERT_TRUE(open.show_open(kOpenFilter, name).ok());
  EXPECT_EQ(QDir::cleanPath(to_qstring(name)), QDir::cleanPath(path));
}

// Makes the file `name` (bytes) in `folder` (bytes); returns its full path.
std::string make_file(const std::string& folder, const std::string& name) {
  const std::string path = folder + "/" + name;
  std::ofstream(path, std::ios::binary) << "1";
  return path;
}

TEST(QtOpenDialog, FindsNamesThatAreNotUtf8) {
  // Not a QTemporaryDir: Qt could not remove what it cannot name.
  const ScratchDir dir;
  const std::string top = dir.path().native();
  std::filesystem::create_directory(top +
                                    "/Pr\xFC"
                                    "fung");
  const struct {
    const char* what;
    std::string path;      // bytes, as the file system holds it
    std::string expected;  // bytes of the path chosen
  } cases[] = {
      {"Latin-1", make_file(top, "Zo\xEB.ipt"), top + "/Zo\xEB.ipt"},
      {"Latin-1 folder and file",
       make_file(top + "/Pr\xFC"
                       "fung",
                 "caf\xE9.ipt"),
       top + "/Pr\xFC"
             "fung/caf\xE9.ipt"},
      // Two names that Qt shows alike cannot be told apart.
      {"ambiguous", (make_file(top, "a\xE8.ipt"), make_file(top, "a\xE9.ipt")),
       top + "/a\xEF\xBF\xBD.ipt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const QString shown = QFile::decodeName(QByteArray::fromStdString(c.path));
    EXPECT_EQ(path_to_bytes(path_of_choice(shown)), c.expected);
  }

  // Chosen in the dialog, where Qt would find no file of the name it shows.
  QWidget parent;
  QtOpenDialog open(&parent);
  const QString shown = QFile::decodeName(QByteArray::fromStdString(top + "/Zo\xEB.ipt"));
  when_dialog_opens([&](QFileDialog& dialog) {
    dialog.selectFile(shown);
    static_cast<QDialog&>(dialog).accept();
  });
  std::u16string name;
  ASSERT_TRUE(open.show_open(kOpenFilter, name).ok());
  EXPECT_EQ(path_to_bytes(name), top + "/Zo\xEB.ipt");
}

}  // namespace
}  // namespace tavrino
