// The dispatch table of qar26m-cli, argument parsing, help and error handling.
#include <array>
#include <exception>
#include <ostream>

#include "cli/command.h"
#include "jet/error.h"

namespace qar::cli {

namespace {

// Add a command here (and its cmd_<name>.cpp).
constexpr std::array kCommands{
    Command{"tables", "FILE", "list the user tables, one per line", cmdTables},
    Command{"schema", "FILE [TABLE]", "show columns (position, name, kind, size, auto-number) and indexes", cmdSchema},
    Command{"export", "FILE TABLE [--format csv|jsonl]", "write every row in table-scan order (csv by default)",
            cmdExport},
    Command{"check", "FILE", "verify the file's structure: one line per defect, then OK or FAIL", cmdCheck},
    Command{"create", "FILE [--access 2000|97]", "make a new, empty database (Access 2000 by default, or Access 97)",
            cmdCreate},
    Command{"create-table", "FILE TABLE COLUMN:KIND[:SIZE]... [--primary-key COL,...] [--index NAME:COL,...[:unique]]...", "add a table (KIND as schema prints it; -COL in an index: descending)",
            cmdCreateTable},
    Command{"import", "FILE TABLE [--format csv|jsonl]",
            "append the rows on standard input (as export writes them), all or nothing", cmdImport},
    Command{"convert", "SOURCE DESTINATION [--tables all|NAME[,NAME...]] [--no-backup]",
            "carry the chosen tables from SOURCE into DESTINATION (exit 0 ok, 1 failed, 3 cancelled)",
            cmdConvert},
    Command{"sample", "FOLDER", "write a small QAR26M-shaped source.mdb and destination.mdb into FOLDER",
            cmdSample},
    Command{"compact", "FILE [DEST]",
            "write a compacted copy to DEST, or compact FILE in place keeping the original as a backup", cmdCompact},
};

void printHelp(std::ostream& out) {
  out << "qar26m-cli: reads and writes the Access (.mdb) databases of QAR26M Database Convert\n\n"
         "usage: qar26m-cli COMMAND ARGUMENTS...\n\ncommands:\n";
  for (const auto& c : kCommands) {
    std::string line = std::string("  ") + c.name + " " + c.usage;
    if (line.size() < 44) line.resize(44, ' ');
    out << line << "  " << c.summary << "\n";
  }
  out << "\nqar26m-cli --version prints the version. Errors go to standard error with exit status 1;\n"
         "a wrong command line exits with 2.\n";
}

}  // namespace

std::span<const Command> commands() { return kCommands; }

const Command* findCommand(const std::string& name) {
  for (const auto& c : kCommands) {
    if (name == c.name) return &c;
  }
  return nullptr;
}

const std::string* ParsedArgs::option(const std::string& name) const {
  const std::string* found = nullptr;
  for (const auto& [k, v] : options) {
    if (k == name) found = &v;
  }
  return found;
}

ParsedArgs parseArgs(const Args& args, const std::vector<std::string>& known, const std::vector<std::string>& flags) {
  ParsedArgs parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
      std::string name = a.substr(2), value;
      size_t eq = name.find('=');
      bool inlineValue = eq != std::string::npos;
      if (inlineValue) {
        value = name.substr(eq + 1);
        name.resize(eq);
      }
      bool isFlag = false;
      for (const auto& f : flags) isFlag |= f == name;
      bool isKnown = isFlag;
      for (const auto& k : known) isKnown |= k == name;
      if (!isKnown) throw UsageError("unknown option --" + name);
      if (!isFlag && !inlineValue) {
        if (i + 1 >= args.size()) throw UsageError("option --" + name + " needs a value");
        value = args[++i];
      }
      parsed.options.emplace_back(name, value);
    } else {
      parsed.positional.push_back(a);
    }
  }
  return parsed;
}

int runCli(const Args& argv, std::ostream& out, std::ostream& err) {
  if (argv.empty() || argv[0] == "--help" || argv[0] == "-h" || argv[0] == "help") {
    printHelp(argv.empty() ? err : out);
    return argv.empty() ? 2 : 0;
  }
  if (argv[0] == "--version") {
    out << "qar26m-cli " << QAR_VERSION << "\n";
    return 0;
  }
  const Command* command = findCommand(argv[0]);
  if (!command) {
    err << "qar26m-cli: unknown command '" << argv[0] << "' (see qar26m-cli --help)\n";
    return 2;
  }
  Args rest(argv.begin() + 1, argv.end());
  for (const auto& a : rest) {
    if (a == "--help" || a == "-h") {
      out << "usage: qar26m-cli " << command->name << " " << command->usage << "\n  " << command->summary << "\n";
      return 0;
    }
  }
  try {
    return command->run(rest, out, err);
  } catch (const UsageError& e) {
    out.flush();
    err << "qar26m-cli " << command->name << ": " << e.what() << "\nusage: qar26m-cli " << command->name << " "
        << command->usage << "\n";
    return 2;
  } catch (const std::exception& e) {
    out.flush();
    err << "qar26m-cli " << command->name << ": " << e.what() << "\n";
    return 1;
  }
}

}  // namespace qar::cli
