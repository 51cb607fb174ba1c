#include "updater/updater_state.h"

std::string StatusText;
std::atomic<bool> SelfUpdated{false};
