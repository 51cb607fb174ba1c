// update-site: builds, verifies and serves the web folder the launcher updates from.
#include <iostream>
#include <string>
#include <vector>

#include "update_site/commands.h"
#include "update_site/console.h"

#ifdef _WIN32
#include "platform/win32/wide_text.h"

// The wide entry point: file names in any language survive the trip into UTF-8.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(Narrow(argv[i]));
#else
int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
#endif
  console::PrepareOutput();
  return UpdateSiteMain(args, Output{std::cout, std::cerr, console::StdoutIsTerminal()});
}
