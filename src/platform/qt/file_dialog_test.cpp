// SPDX-License-Identifier: MIT
#include "platform/qt/file_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "platform/qt/qt_text.h"
#include "window/form1.h"

namespace tavrino {
namespace {

TEST(QtNameFilters, TurnsEachPairIntoAQtFilterInOrder) {
  struct Case {
    std::u16string_view filter;
    QStringList expected;
  };
  const Case cases[] = {
      {kOpenFilter, {"Data Files (*.ipt)", "Text Files (*.txt)", "All files (*)"}},
      {u"Pictures|*.png;*.jpg|", {"Pictures (*.png *.jpg)"}},
      {u"Pictures (*.png;*.jpg)|*.png;*.jpg|", {"Pictures (*.png *.jpg)"}},
      {u"|*.ipt|", {"(*.ipt)"}},
      {u"Anything|*.*|", {"Anything (*)"}},
      {u"Dangling description", {}},
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

}  // namespace
}  // namespace tavrino
