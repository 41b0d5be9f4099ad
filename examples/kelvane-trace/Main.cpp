// Main.cpp - kelvane-trace: builds a network from street lines, traces from
// flags and draws the result. Everything but the command line lives in RunDemo.
#include <iostream>

#include "Demo.h"
#include "Options.h"

int main(int argc, char** argv) {
  NOptions opt;
  std::string strError;
  if (!ParseOptions(argc, argv, opt, strError)) {
    std::cerr << "kelvane-trace: " << strError << '\n';
    return 2;
  }
  if (opt.bHelp) {
    PrintHelp(std::cout);
    return 0;
  }
  if (opt.bVersion) {
    PrintVersion(std::cout);
    return 0;
  }
  NDemoRun run;
  return RunDemo(opt, std::cout, std::cerr, run);
}
