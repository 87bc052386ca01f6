// zentorctl: the developer and administration tool. The commands live in the command table
// (command.h); this file only connects it to the process.

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "command.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  int status = zentor::cli::runCommandLine(args, std::cout, std::cerr);
  // A full disk or a closed pipe must not end in a success status with half the output.
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "zentorctl: write error on standard output\n";
    return zentor::cli::kExitFailure;
  }
  return status;
}
