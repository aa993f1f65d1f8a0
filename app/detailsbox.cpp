// Sizes the details field of a message box to its text and lets the box be resized
// (see detailsbox.h).
#include "app/detailsbox.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>

namespace qar::app {

namespace {

// At most this share of the screen, and never less than the lines QMessageBox gives.
constexpr double kScreenShare = 0.8;
constexpr int kMinimumLines = 6;

}  // namespace

bool DetailsBox::event(QEvent* e) {
  const bool handled = QMessageBox::event(e);
  // QMessageBox fixes its size again whenever its layout changes (showing the details).
  if (e->type() == QEvent::LayoutRequest) roomForDetails();
  return handled;
}

void DetailsBox::showEvent(QShowEvent* e) {
  QMessageBox::showEvent(e);
  if (auto* details = findChild<QTextEdit*>(); details != nullptr && !watching_) {
    details->installEventFilter(this);
    watching_ = true;
  }
  roomForDetails();
}

bool DetailsBox::eventFilter(QObject* watched, QEvent* e) {
  // The details button shows the field and then fixes the box's size: size it after that.
  if (e->type() == QEvent::Show) QTimer::singleShot(0, this, [this] { roomForDetails(); });
  return QMessageBox::eventFilter(watched, e);
}

void DetailsBox::roomForDetails() {
  if (sizing_) return;
  auto* details = findChild<QTextEdit*>();
  if (details == nullptr || !details->isVisible()) return;
  sizing_ = true;

  const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect(0, 0, 1024, 768);
  const QFontMetrics metrics(details->font());
  const QStringList lines = details->toPlainText().split(QLatin1Char('\n'));
  int longest = 0;
  for (const QString& line : lines) longest = std::max(longest, metrics.horizontalAdvance(line));
  const int chrome = 2 * details->frameWidth() + 2 * int(details->document()->documentMargin()) +
                     details->verticalScrollBar()->sizeHint().width() + 4;
  const int wantWidth = std::min(longest + chrome, int(screen.width() * kScreenShare) - 40);
  const int shownLines = std::max(int(lines.size()), kMinimumLines);
  const int wantHeight = std::min(shownLines * metrics.lineSpacing() + chrome,
                                  int(screen.height() * kScreenShare) - 160);

  details->setLineWrapMode(QTextEdit::NoWrap);
  details->setMinimumSize(std::max(wantWidth, 200), std::max(wantHeight, 60));
  details->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  details->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  if (layout() != nullptr) layout()->activate();
  setMinimumSize(layout() != nullptr ? layout()->minimumSize() : QSize());
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  setSizeGripEnabled(true);
  resize(size().expandedTo(minimumSize()));
  sizing_ = false;
}

}  // namespace qar::app
