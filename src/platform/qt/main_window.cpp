// SPDX-License-Identifier: MIT
#include "platform/qt/main_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFont>
#include <QFontMetricsF>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QMimeData>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextOption>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "platform/qt/file_dialog.h"
#include "platform/qt/qt_text.h"
#include "window/layout.h"

namespace tavrino {
namespace {

QFont font_of(const FontSpec& spec) {
  QFont font(to_qstring(spec.face));
  // Where the face is missing, fontconfig offers its metric twin (Liberation
  // Sans for Arial); the hint keeps any other stand-in a sans-serif face.
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(spec.points);
  font.setBold(spec.bold);
  return font;
}

QRect rect_of(const ControlLayout& layout) {
  return {twips_to_pixels(layout.left), twips_to_pixels(layout.top), twips_to_pixels(layout.width),
          twips_to_pixels(layout.height)};
}

}  // namespace

int twips_to_pixels(int twips) {
  const int half = kTwipsPerPixel / 2;
  return twips >= 0 ? (twips + half) / kTwipsPerPixel : -((-twips + half) / kTwipsPerPixel);
}

void line_up_values(QPlainTextEdit& pane) {
  // A fixed stop cannot work for a proportional font: whether a name of 13
  // characters (two tabs) or 14 (one tab) reaches a given stop depends on its
  // letters. Measuring the names themselves does.
  const QFontMetricsF metrics(pane.font());
  qreal widest = 0;
  QTextDocument* const document = pane.document();
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    const QString text = block.text();
    const qsizetype tab = text.indexOf(u'\t');
    if (tab >= 0) widest = std::max(widest, metrics.horizontalAdvance(text.left(tab)));
  }
  // A quarter past a whole pixel, so both stops fall into the same pixel
  // whether a position is rounded or cut off.
  const qreal column = std::ceil(widest + 2 * metrics.horizontalAdvance(u' ')) + 0.25;
  QTextOption option = document->defaultTextOption();
  const QList<QTextOption::Tab> stops{QTextOption::Tab(column - 1.0 / 32, QTextOption::LeftTab),
                                      QTextOption::Tab(column, QTextOption::LeftTab)};
  if (option.tabs() == stops) return;
  option.setTabs(stops);
  document->setDefaultTextOption(option);
}

std::vector<std::u16string> dropped_paths(const QMimeData& data) {
  std::vector<std::u16string> paths;
  for (const QUrl& url : data.urls()) {
    if (url.isLocalFile()) paths.push_back(path_of_choice(url.toLocalFile()));
  }
  return paths;
}

MainWindow::MainWindow(ResultSheet& sheet, Keyboard& keyboard, const FileReader& reader,
                       Playback::Options playback)
    : dialog_(this), messages_(this) {
  // A file dragged anywhere onto the window opens (eventFilter); the boxes
  // would otherwise take it as text.
  setAcceptDrops(true);
  setWindowTitle(to_qstring(kWindowCaption));
  // The controls sit at fixed places, so the client area keeps its size.
  setFixedSize(twips_to_pixels(kClientWidthTwips), twips_to_pixels(kClientHeightTwips));

  for (const ControlLayout& layout : form1_layout()) build(layout);
  set_tab_order();

  controls_ = std::make_unique<WidgetControls>(*this, widgets_, *timer_);
  form_ = std::make_unique<Form1>(sheet, *controls_, dialog_, messages_, placement_, keyboard,
                                  *this, reader, std::move(playback));

  // Esc anywhere in the window, also while the focus is in a box.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, this, [this] { form_->escape(); });
  QApplication::instance()->installEventFilter(this);
}

MainWindow::~MainWindow() {
  QApplication::instance()->removeEventFilter(this);
  // The timer must not tick into a Form1 that is gone.
  if (timer_) timer_->stop();
}

bool MainWindow::ours(QObject* watched) const {
  const auto* widget = qobject_cast<const QWidget*>(watched);
  return widget != nullptr && widget->window() == this;
}

bool MainWindow::drag_event(QEvent* event) {
  auto* const drop = static_cast<QDropEvent*>(event);
  const QMimeData* const data = drop->mimeData();
  if (data == nullptr || dropped_paths(*data).empty() || form_->typing()) {
    drop->ignore();
    return true;
  }
  drop->acceptProposedAction();
  if (event->type() == QEvent::Drop) form_->drop(dropped_paths(*data));
  return true;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::InputMethod:
      break;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      if (ours(watched)) return drag_event(event);
      return QWidget::eventFilter(watched, event);
    default:
      return QWidget::eventFilter(watched, event);
  }
  if (form_->keys_allowed()) {
    // Cells from a spreadsheet load as the list wherever the focus is; any
    // other text is left to the box that has the focus, as usual.
    if (event->type() == QEvent::KeyPress && ours(watched) &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste) &&
        form_->paste(to_u16string(QGuiApplication::clipboard()->text()))) {
      event->accept();
      return true;
    }
    return QWidget::eventFilter(watched, event);
  }
  if (event->type() != QEvent::InputMethod &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && form_->typing()) {
    return QWidget::eventFilter(watched, event);
  }
  // An accepted override keeps the key from any shortcut; the key itself is
  // then dropped as it comes.
  event->accept();
  return true;
}

void MainWindow::build(const ControlLayout& layout) {
  QWidget* const parent = layout.parent ? control(*layout.parent) : static_cast<QWidget*>(this);
  QWidget* made = nullptr;
  const QString text = to_qstring(layout.text);

  switch (layout.kind) {
    case ControlKind::push_button: {
      auto* button = new QPushButton(text, parent);
      connect(button, &QPushButton::clicked, this, [this, id = layout.id] { form_->click(id); });
      made = button;
      break;
    }

    case ControlKind::text_box:
      if (layout.multi_line) {
        auto* box = new QPlainTextEdit(parent);
        // Tab moves on to the next control, as in any form's text box.
        box->setTabChangesFocus(true);
        box->setVerticalScrollBarPolicy(layout.vertical_scroll ? Qt::ScrollBarAlwaysOn
                                                               : Qt::ScrollBarAlwaysOff);
        box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        if (layout.font) box->setFont(font_of(*layout.font));
        if (layout.centred) {
          QTextOption option = box->document()->defaultTextOption();
          option.setAlignment(Qt::AlignHCenter);
          box->document()->setDefaultTextOption(option);
        }
        if (layout.menu_background) {
          QPalette palette = box->palette();
          const QColor menu = QApplication::palette("QMenu").color(QPalette::Window);
          palette.setColor(QPalette::Base, menu);
          box->setPalette(palette);
        }
        if (layout.id == ControlId::lbltext) {
          // The program never reads the pane back, so edits would only mislead.
          box->setReadOnly(true);
          connect(box->document(), &QTextDocument::contentsChanged, box,
                  [box] { line_up_values(*box); });
        }
        box->setPlainText(to_multi_line(layout.text));
        made = box;
      } else {
        auto* box = new QLineEdit(text, parent);
        if (layout.font) box->setFont(font_of(*layout.font));
        made = box;
      }
      break;

    case ControlKind::frame:
      made = new QGroupBox(text, parent);
      break;

    case ControlKind::line: {
      // A one-pixel rule in the text colour; QFrame draws it across its width.
      auto* line = new QFrame(parent);
      line->setFrameShape(QFrame::HLine);
      line->setFrameShadow(QFrame::Plain);
      line->setLineWidth(1);
      line->setGeometry(twips_to_pixels(layout.left), twips_to_pixels(layout.top),
                        twips_to_pixels(layout.width), 1);
      widgets_[static_cast<std::size_t>(layout.id)] = line;
      return;
    }

    case ControlKind::label: {
      auto* label = new QLabel(text, parent);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setTextFormat(Qt::PlainText);
      if (layout.font) label->setFont(font_of(*layout.font));
      made = label;
      break;
    }

    case ControlKind::timer:
      // Form_Load switches it off before the event loop could deliver a
      // tick, so it is simply created stopped.
      timer_ = new QTimer(this);
      timer_->setInterval(kTimerIntervalMs);
      timer_->setTimerType(Qt::PreciseTimer);
      connect(timer_, &QTimer::timeout, this, [this] { form_->Timer1_Timer(); });
      return;

    case ControlKind::common_dialog:
      // Made afresh on each Open... press; nothing to place.
      return;
  }

  made->setObjectName(
      QString::fromLatin1(layout.name.data(), static_cast<qsizetype>(layout.name.size())));
  made->setGeometry(rect_of(layout));
  made->setEnabled(layout.enabled);
  widgets_[static_cast<std::size_t>(layout.id)] = made;
}

void MainWindow::set_tab_order() {
  QWidget* previous = nullptr;
  for (const ControlId id : tab_order()) {
    QWidget* const widget = control(id);
    if (!widget || !takes_focus(layout_of(id).kind)) continue;
    if (previous) QWidget::setTabOrder(previous, widget);
    // The lowest tab index takes the focus when the window opens.
    if (!first_focus_) first_focus_ = widget;
    previous = widget;
  }
}

void MainWindow::schedule_step(std::chrono::milliseconds delay) {
  QTimer::singleShot(delay, this, [this] { form_->playback_step(); });
}

void MainWindow::closeEvent(QCloseEvent* event) {
  form_->quit();
  QWidget::closeEvent(event);
}

void MainWindow::load_and_show() {
  // Before the first show, so the stays-on-top hint is set without a re-show.
  form_->Form_Load();
  // Set before the show, so the window opens with the focus there.
  if (first_focus_) first_focus_->setFocus(Qt::OtherFocusReason);
  show();
}

}  // namespace tavrino
