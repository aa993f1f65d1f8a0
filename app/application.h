// The application object: a QApplication whose event delivery shows any exception that
// escapes an event handler in the error box and then goes on, as the window handlers do.
#pragma once

#include <QApplication>

namespace qar::app {

class Application : public QApplication {
  Q_OBJECT
 public:
  Application(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// Step 2 of start-up: the title on the task bar, and the version.
void setApplicationTitle();

// The classic look the windows were laid out for: group box captions on the frame line,
// sunken fields, raised buttons (Qt's "Windows" style, part of Qt itself).
void applyClassicLook();

}  // namespace qar::app
