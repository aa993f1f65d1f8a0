// qar26m-cli sample FOLDER: writes a small QAR26M-shaped source.mdb / destination.mdb pair
// into FOLDER, to try a conversion on (see sample_pair.h).
#include <ostream>

#include "cli/command.h"
#include "cli/sample_pair.h"

namespace qar::cli {

int cmdSample(const Args& args, std::ostream& out, std::ostream&) {
  ParsedArgs parsed = parseArgs(args, {});
  if (parsed.positional.size() != 1) throw UsageError("expected one folder");
  const SamplePair pair = makeSamplePair(parsed.positional[0]);
  out << pair.source << "\n" << pair.destination << "\n";
  return 0;
}

}  // namespace qar::cli
