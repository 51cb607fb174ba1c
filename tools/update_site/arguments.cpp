#include "update_site/arguments.h"

#include <charconv>

std::optional<std::string> Arguments::Last(const std::string& name) const {
  auto it = values.find(name);
  if (it == values.end() || it->second.empty()) return std::nullopt;
  return it->second.back();
}

uint64_t Arguments::Number(const std::string& name, uint64_t low, uint64_t high, uint64_t fallback) const {
  std::optional<std::string> text = Last(name);
  if (!text) return fallback;
  uint64_t value = 0;
  auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (text->empty() || error != std::errc() || end != text->data() + text->size() || value < low || value > high) {
    throw UsageError("--" + name + " takes a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                     ", not \"" + *text + "\"");
  }
  return value;
}

Arguments ParseArguments(const std::vector<std::string>& args, const std::set<std::string>& value_options,
                         const std::set<std::string>& flag_options, size_t min_positional, size_t max_positional) {
  Arguments parsed;
  bool options_ended = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
      if (arg == "--") {
        options_ended = true;
      } else {
        parsed.positional.push_back(arg);
      }
      continue;
    }
    size_t equals = arg.find('=');
    std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    if (flag_options.count(name) && equals == std::string::npos) {
      parsed.flags.insert(name);
    } else if (value_options.count(name)) {
      if (equals != std::string::npos) {
        parsed.values[name].push_back(arg.substr(equals + 1));
      } else if (i + 1 < args.size()) {
        parsed.values[name].push_back(args[++i]);
      } else {
        throw UsageError("--" + name + " needs a value");
      }
    } else {
      throw UsageError("unknown option \"" + arg + "\"");
    }
  }
  if (parsed.positional.size() < min_positional) throw UsageError("missing arguments");
  if (parsed.positional.size() > max_positional) throw UsageError("too many arguments: \"" + parsed.positional.back() + "\"");
  return parsed;
}
