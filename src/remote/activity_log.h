#pragma once
#include <functional>
#include <string>

#include "platform/system.h"

// The activity log "log.txt" beside the executable: one line per problem of the configuration
// load and the logo step. Called on the window thread during start-up only; no lock.

// Appends "dd/mm/yyyy hh:nn:ss - message" and CR LF in the ANSI code page. Raises
// platform::SystemError when the file cannot be created, opened or written.
void WriteLog(const std::string& message);

// As WriteLog, into "log.txt" of the given folder (with its trailing separator).
void WriteLogIn(const std::string& folder, const std::string& message);

// "dd/mm/yyyy hh:nn:ss", as an entry begins; "/" and ":" stand for the regional separators.
std::string FormatLogTime(const platform::LocalTime& time, const platform::RegionalSettings& regional);

// One entry, UTF-8, CR LF included; "/" and ":" in the pattern stand for the regional
// date and time separators.
std::string FormatLogEntry(const platform::LocalTime& time, const platform::RegionalSettings& regional,
                           const std::string& message);

// Where the configuration load and the logo step send their entries: WriteLog in the
// program; tests and fuzzers pass a recorder. It raises as WriteLog does.
using LogSink = std::function<void(const std::string&)>;
