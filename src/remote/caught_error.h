#pragma once
#include <exception>
#include <optional>
#include <string>

// Runs action and gives the message of the error it raised, or nothing. Callers write their
// log entry after this returns, outside the handler: an error of the log itself then reaches
// their own caller instead of being caught as one more failure.
template <typename Action>
std::optional<std::string> CaughtError(Action&& action) {
  try {
    action();
  } catch (const std::exception& error) {
    return std::string(error.what());
  }
  return std::nullopt;
}
