#pragma once
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/launcher_config.h"
#include "remote/activity_log.h"

// A "config" or "redes" member holding an object or an array: it has no text. Its message is
// the one the user sees in the error box.
class ConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ConfigDocumentHooks {
  LogSink log;
  // The logo step, called with a non-empty "LogoUrl"; it logs its own failures.
  std::function<void(const std::string& address)> load_logo;
};

// True when the answer is a JSON object: a document, even one without the members it should
// have; false for an empty answer, an error page or any other text.
bool IsConfigDocument(const std::string& body);

// Reads the configuration service's answer, UTF-8 text as GetURLContent returns it, into
// config (all but ClientToken) and slides (appended). Each problem becomes one log entry and
// the reading goes on or stops as the entry's kind says. Raises ConversionError for a
// "config" or "redes" value that is an object or an array, leaving the fields read before it
// filled; and whatever the log raises, at the first entry that fails.
void ReadConfigDocument(const std::string& body, TLauncherConfig& config, std::vector<std::string>& slides,
                        const ConfigDocumentHooks& hooks);
