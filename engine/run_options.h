// Settings of one conversion run that the caller chooses.
#pragma once

namespace qar {

struct RunOptions {
  // Copy the destination file to "<name>-backup-YYYYMMDD-HHMMSS.mdb" beside it before the
  // first table is written. The headless command's --no-backup turns this off.
  bool makeBackup = true;
};

}  // namespace qar
