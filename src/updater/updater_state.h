#pragma once
#include <atomic>
#include <string>

#include "common/fixed_names.h"

// Launcher-wide values of the updater. StatusText is written by the worker just before the
// hand-over that shows it, and read only inside hand-overs, so the hand-over's wait orders the
// two threads and no lock is needed.
extern std::string StatusText;
// Set only once a new launcher executable is complete, verified and in place; the completion
// step restarts the launcher exactly then.
extern std::atomic<bool> SelfUpdated;

