#include "remote/web_retrieval.h"

#include <exception>

#include "platform/internet.h"
#include "platform/system.h"
#include "platform/text.h"

namespace {

constexpr size_t kReadSize = 1024;

platform::UrlRequest RemoteRequest(bool ansi_address) {
  return platform::UrlRequest{.agent = "DelphiApp", .reload = true, .ansi_address = ansi_address};
}

}  // namespace

// The address goes out in the ANSI code page (InternetOpenUrlA), unlike DownloadToStream's.
// A failed read ends the body quietly: what arrived so far is the result.
std::string GetURLContent(const std::string& url) {
  std::string result;
  try {
    auto response = platform::UrlResponse::Open(url, RemoteRequest(true));
    if (!response) return result;
    char buffer[kReadSize];
    size_t got = 0;
    while (response->Read(buffer, sizeof buffer, got) && got > 0) result += platform::FromAnsi({buffer, got});
  } catch (const std::exception& error) {
    result.clear();
    platform::DebugOutput("Erro GetURLContent: " + std::string(error.what()));
  }
  return result;
}

bool DownloadToStream(const std::string& url, std::vector<uint8_t>& stream) {
  auto response = platform::UrlResponse::Open(url, RemoteRequest(false));
  if (!response) return false;
  uint8_t buffer[kReadSize];
  size_t got = 0;
  while (response->Read(buffer, sizeof buffer, got) && got > 0) stream.insert(stream.end(), buffer, buffer + got);
  return true;
}
