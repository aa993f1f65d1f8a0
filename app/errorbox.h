// The application's error box: how an exception that escapes a window handler or the
// start-up reaches the operator (error icon, OK, the application title), and the guard
// that catches it so the program goes on.
#pragma once

#include <QString>
#include <exception>
#include <string>

#include "base/exception.h"

class QWidget;

namespace qar::app {

// The application title, shown on the task bar and on the error box (spelled as it always was).
inline constexpr const char* kApplicationTitle = "QAR26M Databse Convert";

// The message as the error box shows it: a full stop is added when the last character
// sorts after "." (so "Disk full" gains one, "Failed!" and "Done." do not, "" stays empty).
QString withFullStop(const QString& message);

// Shows the error box for an exception's message and waits until it is dismissed.
void showException(QWidget* parent, const QString& message);

// Runs action; an exception escaping it is shown in the error box and swallowed, so the
// caller (an event handler) returns normally. An escaping object that is not an exception
// is shown with an empty message.
template <class Action>
void guarded(QWidget* parent, Action&& action) {
  try {
    action();
  } catch (const qar::Exception& e) {
    showException(parent, QString::fromStdString(e.message()));
  } catch (const std::exception& e) {
    showException(parent, QString::fromLocal8Bit(e.what()));
  } catch (...) {
    showException(parent, QString());
  }
}

}  // namespace qar::app
