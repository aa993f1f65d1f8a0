// qar26m-cli entry point.
#include <iostream>

#include "cli/command.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  qar::cli::Args args(argv + 1, argv + argc);
  int status = qar::cli::runCli(args, std::cout, std::cerr);
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "qar26m-cli: cannot write the output\n";
    return 1;
  }
  return status;
}
