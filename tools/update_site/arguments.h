#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

// A command line the tool cannot make sense of; the message says what is wrong.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Options are "--name value" or "--name=value"; "--" ends them.
struct Arguments {
  std::vector<std::string> positional;
  std::map<std::string, std::vector<std::string>> values;  // every occurrence, in order
  std::set<std::string> flags;

  std::optional<std::string> Last(const std::string& name) const;
  // A whole number from `low` to `high`; `fallback` when the option is absent.
  uint64_t Number(const std::string& name, uint64_t low, uint64_t high, uint64_t fallback) const;
};

// Raises UsageError for an unknown option, a missing value, or a positional count outside
// [min_positional, max_positional].
Arguments ParseArguments(const std::vector<std::string>& args, const std::set<std::string>& value_options,
                         const std::set<std::string>& flag_options, size_t min_positional, size_t max_positional);
