#include "remote/web_retrieval.h"

#include <exception>

#include "platform/internet.h"
#include "platform/system.h"
#include "platform/text.h"

namespace {

constexpr size_t kReadSize = 1024;
// The configuration document and the logo are small: an answer that goes on past this is no
// such resource, and reading on would fill memory.
constexpr size_t kLargestBody = size_t{16} << 20;

// The start-up waits for these answers: a service that accepts the connection and then says
// nothing is given up after the time Windows' WinINet waits by default (Wine waits forever).
constexpr uint32_t kReceiveTimeoutMs = 30000;

platform::UrlRequest RemoteRequest(bool ansi_address) {
  return platform::UrlRequest{.agent = "DelphiApp", .reload = true, .ansi_address = ansi_address,
                              .receive_timeout_ms = kReceiveTimeoutMs};
}

}  // namespace

// The address goes out in the ANSI code page (InternetOpenUrlA), unlike DownloadToStream's.
// A failed read ends the body quietly: what arrived so far is the result.
std::string GetURLContent(const std::string& url, std::optional<platform::InternetFailure>* failure) {
  std::string result;
  try {
    platform::InternetFailure why;
    platform::UrlRequest request = RemoteRequest(true);
    request.failure = &why;
    auto response = platform::UrlResponse::Open(url, request);
    if (!response) {
      if (failure) *failure = why;
      return result;
    }
    char buffer[kReadSize];
    size_t got = 0, total = 0;
    while (response->Read(buffer, sizeof buffer, got) && got > 0) {
      total += got;
      if (total > kLargestBody) {
        platform::DebugOutput("Erro GetURLContent: a resposta passa de " + std::to_string(kLargestBody) + " bytes");
        return {};
      }
      result += platform::FromAnsi({buffer, got});
    }
  } catch (const std::exception& error) {
    result.clear();
    platform::DebugOutput("Erro GetURLContent: " + std::string(error.what()));
  }
  return result;
}

bool DownloadToStream(const std::string& url, std::vector<uint8_t>& stream) {
  auto response = platform::UrlResponse::Open(url, RemoteRequest(false));
  if (!response) return false;
  const size_t before = stream.size();
  uint8_t buffer[kReadSize];
  size_t got = 0;
  while (response->Read(buffer, sizeof buffer, got) && got > 0) {
    if (stream.size() - before + got > kLargestBody) {
      stream.resize(before);
      return false;
    }
    stream.insert(stream.end(), buffer, buffer + got);
  }
  return true;
}
