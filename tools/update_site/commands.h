#pragma once
#include <ostream>
#include <string>
#include <vector>

// Exit codes of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitProblems = 1;  // refused, failed, or problems found
inline constexpr int kExitUsage = 2;

// Where the commands write: results to `out`, what went wrong to `err`. `terminal` says that
// `out` is a terminal, where progress is redrawn in place.
struct Output {
  std::ostream& out;
  std::ostream& err;
  bool terminal = false;
};

// The whole tool: the first argument names the command.
int UpdateSiteMain(const std::vector<std::string>& args, const Output& output);
std::string UsageText();

// The commands, given the arguments after their name. They raise UsageError for a command line
// they cannot use.
int RunBuild(const std::vector<std::string>& args, const Output& output);
int RunVerify(const std::vector<std::string>& args, const Output& output);
int RunServe(const std::vector<std::string>& args, const Output& output);
int RunKeygen(const std::vector<std::string>& args, const Output& output);
