// The commands of qar26m-cli and how they are dispatched. Each command lives in its own
// cmd_<name>.cpp and has one line in the table in commands.cpp.
#pragma once

#include <iosfwd>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace qar::cli {

// A command line that does not fit the command's usage (exit status 2).
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using Args = std::vector<std::string>;

struct Command {
  const char* name;
  const char* usage;    // arguments after the command name, e.g. "FILE [TABLE]"
  const char* summary;  // one line for --help
  // Runs the command; returns the exit status. Throws UsageError, or any std::exception for
  // a failure (exit status 1).
  int (*run)(const Args& args, std::ostream& out, std::ostream& err);
};

std::span<const Command> commands();
const Command* findCommand(const std::string& name);

// Full program: dispatches argv, prints errors to err, returns the exit status.
int runCli(const Args& argv, std::ostream& out, std::ostream& err);

// Splits args into positional arguments and "--name value" / "--name=value" options;
// options not in `known` are a UsageError. Flags (no value) are listed in `flags`.
struct ParsedArgs {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;
  const std::string* option(const std::string& name) const;
};
ParsedArgs parseArgs(const Args& args, const std::vector<std::string>& known, const std::vector<std::string>& flags = {});

// Commands of the read side.
int cmdTables(const Args& args, std::ostream& out, std::ostream& err);
int cmdSchema(const Args& args, std::ostream& out, std::ostream& err);
int cmdExport(const Args& args, std::ostream& out, std::ostream& err);

// Commands of the write side.
int cmdCheck(const Args& args, std::ostream& out, std::ostream& err);
int cmdCreate(const Args& args, std::ostream& out, std::ostream& err);
int cmdCreateTable(const Args& args, std::ostream& out, std::ostream& err);
int cmdImport(const Args& args, std::ostream& out, std::ostream& err);

// The conversion run without a window (cmd_convert.cpp).
int cmdConvert(const Args& args, std::ostream& out, std::ostream& err);
int cmdCompact(const Args& args, std::ostream& out, std::ostream& err);

// A small sample pair to try a conversion on (cmd_sample.cpp).
int cmdSample(const Args& args, std::ostream& out, std::ostream& err);

}  // namespace qar::cli
