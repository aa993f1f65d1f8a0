// Answers the modal windows a test provokes: every message box that becomes the active
// modal window is recorded (title, text, details, icon) and confirmed with its OK button;
// other modal windows go to a handler the test supplies. A deadline rejects whatever is
// still open, so a test that forgets a window fails instead of hanging.
#pragma once

#include <QElapsedTimer>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <vector>

namespace qar::test {

struct SeenBox {
  QString title;
  QString text;
  QString details;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

class ModalAnswerer : public QObject {
 public:
  // Handles a modal window that is not a message box; it should close the window (accept or
  // reject it), else it is called again on the next poll.
  using Handler = std::function<void(QWidget*)>;

  explicit ModalAnswerer(int deadlineMs = 60000);

  void onOtherWindow(Handler handler) { other_ = std::move(handler); }

  const std::vector<SeenBox>& boxes() const { return boxes_; }
  // The boxes seen as "title: text" lines, for readable assertion failures.
  QString transcript() const;
  bool timedOut() const { return timedOut_; }

 private:
  void poll();

  QTimer timer_;
  int deadlineMs_;
  QElapsedTimer clock_;
  bool timedOut_ = false;
  Handler other_;
  std::vector<SeenBox> boxes_;
};

}  // namespace qar::test
