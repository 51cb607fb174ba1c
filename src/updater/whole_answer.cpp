#include "updater/whole_answer.h"

#include <memory>
#include <vector>

WholeAnswer FetchWholeAnswer(const std::string& url, uint32_t receive_timeout_ms, uint64_t largest) {
  WholeAnswer answer;
  platform::InternetFailure failure;
  platform::UrlRequest request{.agent = "RUDoravoRuzazar", .reload = true, .no_cache_write = true,
                               .receive_timeout_ms = receive_timeout_ms, .failure = &failure};
  std::unique_ptr<platform::UrlResponse> response = platform::UrlResponse::Open(url, request);
  if (!response) {
    answer.not_connected = failure;
    return answer;
  }
  platform::RemoveUrlFromCache(url);
  answer.status = response->Status();
  const std::optional<uint64_t> announced = response->ContentLength();
  if (answer.status != 200 || announced.value_or(0) > largest) return answer;
  std::string body;
  std::vector<char> block(65536);
  for (;;) {
    size_t got = 0;
    if (!response->Read(block.data(), block.size(), got)) return answer;
    if (got == 0) break;
    body.append(block.data(), got);
    if (body.size() > largest) return answer;
  }
  // A body cut short is no file.
  if (announced && *announced != body.size()) return answer;
  answer.body = std::move(body);
  return answer;
}
