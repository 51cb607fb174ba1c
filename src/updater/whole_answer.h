#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "platform/internet.h"

// A small file of the update site fetched into memory: the statement, the index of deltas.
struct WholeAnswer {
  // The whole body of a successful answer; nothing for any other answer, a body cut short or
  // one larger than allowed.
  std::optional<std::string> body;
  int status = 0;  // of the answer; 0 when no request could be opened
  std::optional<platform::InternetFailure> not_connected;  // why no request could be opened
};

WholeAnswer FetchWholeAnswer(const std::string& url, uint32_t receive_timeout_ms, uint64_t largest);
