// Polling answerer for modal windows (see modal_answerer.h).
#include "modal_answerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>


namespace qar::test {

namespace {
constexpr int kPollMs = 10;
}

ModalAnswerer::ModalAnswerer(int deadlineMs) : deadlineMs_(deadlineMs) {
  timer_.setInterval(kPollMs);
  connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
  timer_.start();
  clock_.start();
}

QString ModalAnswerer::transcript() const {
  QString lines;
  for (const SeenBox& box : boxes_) lines += box.title + QStringLiteral(": ") + box.text + '\n';
  return lines;
}

void ModalAnswerer::poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (clock_.elapsed() > deadlineMs_) {
    timedOut_ = true;
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    return;
  }
  if (modal == nullptr || !modal->isVisible()) return;
  if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    boxes_.push_back({box->windowTitle(), box->text(), box->detailedText(), box->icon()});
    if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
      ok->click();
    } else {
      box->reject();
    }
    return;
  }
  if (other_) other_(modal);
}

}  // namespace qar::test
