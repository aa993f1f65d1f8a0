// The closing message of a conversion.
#include "app/closingmessage.h"

#include "app/detailsbox.h"

namespace qar::app {

QString closingMessageText(const RunOutcome& outcome) {
  switch (outcome.status) {
    case RunStatus::Completed:
      return QStringLiteral("Database convert ok.");
    case RunStatus::Failed:
      return QStringLiteral("Database convert failed.");
    case RunStatus::Cancelled:
      return QStringLiteral("Database convert cancelled.");
  }
  return QStringLiteral("Database convert failed.");
}

void showClosingMessage(QWidget* parent, const RunOutcome& outcome) {
  DetailsBox box(QMessageBox::NoIcon, QStringLiteral("Message"), closingMessageText(outcome),
                  QMessageBox::Ok, parent);
  box.setObjectName(QStringLiteral("closingMessage"));
  const QString details = summaryText(outcome);
  if (!details.trimmed().isEmpty()) box.setDetailedText(details);
  box.exec();
}

}  // namespace qar::app
