#include <signal.h>
#include <unistd.h>

#include "update_site/console.h"

namespace console {
namespace {

std::atomic<bool> interrupted{false};
struct sigaction previous_int, previous_term;

void OnInterrupt(int) { interrupted = true; }

}  // namespace

bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

void PrepareOutput() {}

InterruptCatcher::InterruptCatcher() {
  interrupted = false;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &previous_int);
  sigaction(SIGTERM, &action, &previous_term);
}

InterruptCatcher::~InterruptCatcher() {
  sigaction(SIGINT, &previous_int, nullptr);
  sigaction(SIGTERM, &previous_term, nullptr);
}

const std::atomic<bool>& InterruptCatcher::Requested() const { return interrupted; }

}  // namespace console
