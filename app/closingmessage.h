// The message box the main window shows when a conversion is over: title "Message", one OK
// button, no icon; its text says how the run ended and its details list what each table
// went through and where the destination's backup is.
#pragma once

#include <QString>

#include "engine/run_outcome.h"

class QWidget;

namespace qar::app {

// "Database convert ok." when every selected table was carried over (also when none was
// selected), "Database convert failed." after an error box, "Database convert cancelled."
// after a cancel.
QString closingMessageText(const RunOutcome& outcome);

// Shows the closing box for outcome and waits until it is dismissed.
void showClosingMessage(QWidget* parent, const RunOutcome& outcome);

}  // namespace qar::app
