#pragma once
#include <atomic>

// The tool's terminal.
namespace console {

bool StdoutIsTerminal();
// Lets the terminal show the tool's UTF-8 output (Windows consoles expect their own code page).
void PrepareOutput();

// While it lives, Ctrl+C sets Requested() instead of ending the process, so that a server can
// close its connections and return; the earlier handling comes back with its destruction.
class InterruptCatcher {
 public:
  InterruptCatcher();
  ~InterruptCatcher();
  InterruptCatcher(const InterruptCatcher&) = delete;
  InterruptCatcher& operator=(const InterruptCatcher&) = delete;
  const std::atomic<bool>& Requested() const;
};

}  // namespace console
