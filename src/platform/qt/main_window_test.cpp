// SPDX-License-Identifier: MIT
#include "platform/qt/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QUrl>
#include <vector>

#include "base/scratch_dir.h"
#include "base/text.h"
#include "platform/posix/posix_file_reader.h"
#include "platform/qt/qt_text.h"
#include "playback/fake_keyboard.h"
#include "window/layout.h"
#include "window/sheet_view.h"

namespace tavrino {
namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.load_and_show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
  }

  template <typename T>
  T* widget(ControlId id) {
    T* const found = qobject_cast<T*>(window_.control(id));
    EXPECT_NE(found, nullptr) << layout_of(id).name;
    return found;
  }

  std::u16string box_text(ControlId id) {
    std::u16string text;
    EXPECT_TRUE(controls().get_text(id, text).ok());
    return text;
  }

  Controls& controls() { return window_.controls(); }

  ResultSheet sheet_;
  FakeKeyboard keyboard_;
  PosixFileReader reader_;
  MainWindow window_{sheet_, keyboard_, reader_};
  // Not a QTemporaryDir: Qt could not remove a file it cannot name.
  const ScratchDir dir_;
};

QString text_of(QWidget* widget) {
  if (auto* w = qobject_cast<QPushButton*>(widget)) return w->text();
  if (auto* w = qobject_cast<QLineEdit*>(widget)) return w->text();
  if (auto* w = qobject_cast<QPlainTextEdit*>(widget)) return w->toPlainText();
  if (auto* w = qobject_cast<QGroupBox*>(widget)) return w->title();
  if (auto* w = qobject_cast<QLabel*>(widget)) return w->text();
  return {};
}

TEST_F(MainWindowTest, EveryControlSitsWhereTheTableSays) {
  EXPECT_EQ(window_.windowTitle(), to_qstring(kWindowCaption));
  EXPECT_EQ(window_.size(), QSize(5310 / 15, 9615 / 15));

  for (const ControlLayout& layout : form1_layout()) {
    SCOPED_TRACE(std::string(layout.name));
    QWidget* const widget = window_.control(layout.id);
    if (layout.kind == ControlKind::timer || layout.kind == ControlKind::common_dialog) {
      EXPECT_EQ(widget, nullptr);
      continue;
    }
    ASSERT_NE(widget, nullptr);
    const QWidget* const parent =
        layout.parent ? window_.control(*layout.parent) : static_cast<QWidget*>(&window_);
    EXPECT_EQ(widget->parentWidget(), parent);
    EXPECT_TRUE(widget->isVisible());
    const int height = layout.kind == ControlKind::line ? 1 : layout.height / 15;
    EXPECT_EQ(widget->geometry(),
              QRect(layout.left / 15, layout.top / 15, layout.width / 15, height));
    // The box shows the countdown's line end as a second, empty line.
    EXPECT_EQ(text_of(widget), to_qstring(layout.text).replace("\r\n", "\n"));
    if (!layout.font) continue;
    const QFont font = widget->font();
    EXPECT_DOUBLE_EQ(font.pointSizeF(), layout.font->points);
    EXPECT_EQ(font.bold(), layout.font->bold);
    // Where Arial is missing, its metric twin stands in, not any sans face.
    if (layout.font->face == u"Arial" && QFontDatabase::hasFamily("Liberation Sans")) {
      const QString family = QFontInfo(font).family();
      EXPECT_TRUE(family == "Arial" || family == "Liberation Sans") << family.toStdString();
    }
  }

  EXPECT_EQ(window_.timer()->interval(), 1000);
  EXPECT_FALSE(window_.timer()->isActive());  // Form_Load stopped it
}

TEST_F(MainWindowTest, TheListCannotBeEditedAndTheCountdownStandsInTheMiddle) {
  EXPECT_TRUE(widget<QPlainTextEdit>(ControlId::lbltext)->isReadOnly());

  // The countdown's digits stand in the middle of the box.
  auto* box = widget<QPlainTextEdit>(ControlId::txtTime);
  QTextCursor start(box->document());
  const int digit_left = box->cursorRect(start).left();
  const int digit_centre = digit_left + box->fontMetrics().horizontalAdvance('5') / 2;
  EXPECT_NEAR(digit_centre, box->viewport()->width() / 2, 3);
}

TEST_F(MainWindowTest, TabGoesThroughTheControlsInTabIndexOrderFromTheCountdownBox) {
  EXPECT_EQ(QApplication::focusWidget(), window_.control(ControlId::txtTime));

  std::vector<std::string> visited;
  for (int i = 0; i < 6; ++i) {
    visited.push_back(QApplication::focusWidget()->objectName().toStdString());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  EXPECT_EQ(visited, (std::vector<std::string>{"txtTime", "lbltext", "cmdBrows", "txtfile",
                                               "cmdStart", "txtTime"}));
}

TEST_F(MainWindowTest, StaysOnTopWithoutMovingOrResizing) {
  EXPECT_TRUE(window_.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(window_.isVisible());

  // A window already on screen keeps its place and size, and stays shown.
  QWidget other;
  other.setGeometry(40, 50, 200, 100);
  other.show();
  const QRect before = other.geometry();
  QtWindowPlacement placement;
  EXPECT_EQ(settopmost(placement, other.winId()), 1);
  EXPECT_TRUE(other.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(other.isVisible());
  EXPECT_EQ(other.geometry(), before);
}

TEST_F(MainWindowTest, ValuesOfShortAndLongNamesStartInOneColumn) {
  sheet_.itemcount = 6;
  sheet_.examnote = u"Term 2";
  const std::u16string names[] = {u"Ann",           u"Łukasz Nowak",         u"Zoë Müller",
                                  u"Maria Schmidt", u"Christopher Robinson", u"Anna-Lena Krüger"};
  for (int i = 0; i < 6; ++i) {
    sheet_.itemname[i] = names[i];
    sheet_.itemvalue[i] = u"45";
  }
  ASSERT_TRUE(refreshpage(sheet_, controls()).ok());

  auto* pane = widget<QPlainTextEdit>(ControlId::lbltext);
  std::vector<int> columns;
  for (QTextBlock block = pane->document()->begin(); block.isValid(); block = block.next()) {
    const int value = block.text().lastIndexOf('\t') + 1;
    if (value == 0) continue;  // the empty line after the last CR LF
    QTextCursor at(block);
    at.setPosition(block.position() + value);
    columns.push_back(pane->cursorRect(at).left());
  }
  ASSERT_EQ(columns.size(), 6u);
  for (int left : columns) EXPECT_EQ(left, columns.front());
  // And the column leaves room for the value inside the pane.
  EXPECT_LT(columns.front(), pane->viewport()->width() * 3 / 4);
}

TEST_F(MainWindowTest, StartCountsDownWithTheTimerAndEscCancels) {
  ASSERT_TRUE(window_.form().open_path(
      dir_.write("7A.ipt",
                 "2,x,Zoë Müller_%_Łukasz Nowak,A{+}_%_中文,,,7A,,Mathematics,,Mid-term,Term 2\n")
          .u16string()));

  // Esc during a countdown: the box shows 5 again, nothing is typed.
  window_.timer()->setInterval(20);  // keep the test quick
  QTest::mouseClick(window_.control(ControlId::cmdStart), Qt::LeftButton);
  EXPECT_TRUE(window_.timer()->isActive());
  ASSERT_TRUE(QTest::qWaitFor([&] { return box_text(ControlId::txtTime) == u"4"; }));
  QTest::keyClick(window_.control(ControlId::txtTime), Qt::Key_Escape);
  EXPECT_FALSE(window_.timer()->isActive());
  EXPECT_EQ(box_text(ControlId::txtTime), u"5");

  // A full run from "1": one tick shows 0, the next types and shows 5.
  ASSERT_TRUE(controls().set_text(ControlId::txtTime, u"1").ok());
  QTest::mouseClick(window_.control(ControlId::cmdStart), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window_.timer()->isActive(); }));
  // Typing goes on in steps from the event loop.
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window_.form().typing(); }));
  EXPECT_EQ(keyboard_.typed(), u"A + [TAB] 中 文 [TAB]");
  EXPECT_EQ(box_text(ControlId::txtTime), u"5");
}

TEST_F(MainWindowTest, KeysThatLandInTheWindowWhileTypingDoNothingButEscStops) {
  sheet_.itemcount = 1;
  sheet_.itemvalue[0] = u"45";
  // The playback waits for a held Shift, and is typing all the while.
  keyboard_.hold(0, HeldKeys{HeldKey::shift}, std::chrono::hours(1));
  auto* box = widget<QPlainTextEdit>(ControlId::txtTime);
  ASSERT_TRUE(controls().set_text(ControlId::txtTime, u"0").ok());
  window_.timer()->setInterval(10);  // keep the test quick
  window_.form().cmdStart_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_.form().typing(); }));

  // Digits for the countdown box and a blank on START, as typed keys that
  // went to this window would come.
  box->setFocus();
  QTest::keyClicks(box, "45");
  QTest::keyClick(window_.control(ControlId::cmdStart), Qt::Key_Space);
  EXPECT_EQ(box_text(ControlId::txtTime), u"0");
  EXPECT_FALSE(window_.timer()->isActive());
  EXPECT_TRUE(window_.form().typing());

  QTest::keyClick(box, Qt::Key_Escape);
  EXPECT_FALSE(window_.form().typing());
  EXPECT_EQ(keyboard_.typed(), u"");
  EXPECT_EQ(box_text(ControlId::txtTime), u"5");
  const auto boxes = window_.findChildren<QMessageBox*>();
  ASSERT_EQ(boxes.size(), 1);
  EXPECT_TRUE(boxes.front()->text().contains("Esc"));

  // Right after typing, keys still queued for this window are dropped too:
  // Enter does not close the message before it is read.
  QTest::keyClick(boxes.front(), Qt::Key_Return);
  QTest::keyClicks(box, "9");
  EXPECT_TRUE(boxes.front()->isVisible());
  EXPECT_EQ(box_text(ControlId::txtTime), u"5");

  // A moment later the window takes keys again.
  QTest::qWait(static_cast<int>(Form1::kKeyQuiet.count()) + 100);
  QTest::keyClick(boxes.front(), Qt::Key_Return);
  EXPECT_TRUE(QTest::qWaitFor([&] { return window_.findChildren<QMessageBox*>().isEmpty(); }));
  box->setFocus();
  box->selectAll();
  QTest::keyClicks(box, "9");
  EXPECT_EQ(box_text(ControlId::txtTime), u"9");
}

TEST_F(MainWindowTest, ARefusedFileIsReportedInAMessageBoxOverTheWindow) {
  const std::u16string missing = (dir_.path() / "missing <1>.ipt").u16string();
  EXPECT_FALSE(window_.form().open_path(missing));
  const auto boxes = window_.findChildren<QMessageBox*>();
  ASSERT_EQ(boxes.size(), 1);
  EXPECT_TRUE(boxes.front()->isVisible());
  EXPECT_TRUE(boxes.front()->text().contains("missing <1>.ipt"));
  EXPECT_EQ(box_text(ControlId::txtfile), u"data.ipt");
  EXPECT_EQ(text_of(window_.control(ControlId::lbltext)), "Text1");
  boxes.front()->accept();
}

TEST_F(MainWindowTest, OpensAFileWhoseNameIsNotUtf8) {
  // Latin-1 "Zoë.ipt": the box shows a stand-in for the byte, and the file
  // opened is the one of that name.
  const std::string name =
      dir_.write(std::string("Zo\xEB.ipt"), "1,x,Zo\xEB,45,,,7A,,Art,,Final,T3\n").native();
  const std::u16string path = path_from_bytes(name);
  ASSERT_TRUE(window_.form().open_path(path));
  EXPECT_EQ(box_text(ControlId::txtfile), path);
  EXPECT_EQ(text_of(window_.control(ControlId::lbltext)), QString::fromUtf8("1. Zo\u00EB\t\t45\n"));
}

TEST_F(MainWindowTest, BoxesHoldWhatTheUserTypesWithLineEndsAsCrLf) {
  auto* box = widget<QPlainTextEdit>(ControlId::txtTime);
  box->selectAll();
  QTest::keyClicks(box, "1");
  QTest::keyClick(box, Qt::Key_Return);
  QTest::keyClicks(box, "2");
  // Read as 1, not 12: the line end stops the number.
  EXPECT_EQ(box_text(ControlId::txtTime), u"1\r\n2");

  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"5\r\n", u"5\r\n"}, {u"1\n2\r3", u"1\r\n2\r\n3"}, {u"3\u00a04", u"3\u00a04"}};
  for (const auto& [set, read] : cases) {
    ASSERT_TRUE(controls().set_text(ControlId::txtTime, set).ok());
    EXPECT_EQ(box_text(ControlId::txtTime), read) << utf16_to_utf8(set);
  }
}

// Wherever the focus is, Ctrl+V loads copied cells as the list; one line
// without a tab still goes into the box that has the focus.
TEST_F(MainWindowTest, CtrlVLoadsCellsAndLeavesOtherTextToTheBox) {
  QClipboard* const clipboard = QGuiApplication::clipboard();
  const struct {
    ControlId focus;
    QString clipboard;
    QString list;     // empty: as before
    QString txtfile;  // what the file box holds after
  } cases[] = {
      {ControlId::txtTime, "Name\tMark\nAnn\t45\nBob\t52\n", "1. Ann\t\t45\n2. Bob\t\t52\n",
       "Clipboard: 3 rows (a header and 2 entries)"},
      {ControlId::cmdStart, "7,5\n8\n", "1. \t\t7,5\n2. \t\t8\n", "Clipboard: 2 rows"},
      {ControlId::txtfile, "/tmp/7A.csv", "", "data.ipt/tmp/7A.csv"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.clipboard.toStdString());
    ASSERT_TRUE(controls().set_text(ControlId::txtfile, u"data.ipt").ok());
    const QString list_before = text_of(window_.control(ControlId::lbltext));
    clipboard->setText(c.clipboard);
    QWidget* const target = window_.control(c.focus);
    target->setFocus();
    if (auto* line = qobject_cast<QLineEdit*>(target)) line->end(false);
    QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(text_of(window_.control(ControlId::lbltext)),
              c.list.isEmpty() ? list_before : c.list);
    EXPECT_EQ(text_of(window_.control(ControlId::txtfile)), c.txtfile);
    EXPECT_EQ(box_text(ControlId::txtTime), u"5\r\n");
  }
}

TEST_F(MainWindowTest, AFileDroppedOnAnyControlOpens) {
  const std::u16string rows = dir_.write("7A.csv", "Name;Mark\nAnn;7,5\n").u16string();
  QMimeData files;
  files.setUrls({QUrl::fromLocalFile(to_qstring(rows)), QUrl("https://example.org/a.csv")});
  EXPECT_EQ(dropped_paths(files), std::vector<std::u16string>{rows});

  // Text is no file: the box it is dragged over does not take it either.
  QMimeData text;
  text.setText("45");
  QWidget* const box = window_.control(ControlId::txtfile);
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(box, &enter);
  EXPECT_FALSE(enter.isAccepted());

  QDragEnterEvent file_enter(QPoint(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(box, &file_enter);
  EXPECT_TRUE(file_enter.isAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(box, &drop);
  EXPECT_EQ(box_text(ControlId::txtfile), rows);
  EXPECT_EQ(text_of(window_.control(ControlId::lbltext)), "1. Ann\t\t7,5\n");
}

}  // namespace
}  // namespace tavrino

int main(int argc, char** argv) {
  // The window needs no display: Qt's offscreen platform lays it out.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
