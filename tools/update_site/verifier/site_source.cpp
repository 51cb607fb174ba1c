#include "update_site/verifier/site_source.h"

#include <stdexcept>
#include <vector>

#include "platform/files.h"
#include "platform/internet.h"
#include "transfer/package_address.h"
#include "update_site/utf8_path.h"

namespace {

class FolderSite : public SiteSource {
 public:
  explicit FolderSite(std::string folder) : folder_(std::move(folder)) {}
  std::unique_ptr<TStream> Open(const std::string& relative, std::string& problem) const override {
    const std::string path = Utf8(FsPath(folder_) / FsPath(relative));
    if (!platform::FileExists(path)) {
      problem = "missing";
      return nullptr;
    }
    try {
      return std::make_unique<TFileStream>(platform::File::OpenRead(path));
    } catch (const platform::SystemError& error) {
      problem = error.what();
      return nullptr;
    }
  }

 private:
  std::string folder_;
};

// A response body read front to back. A body shorter than announced is a failed transfer,
// never a shorter file.
class ResponseStream : public TStream {
 public:
  explicit ResponseStream(std::unique_ptr<platform::UrlResponse> response) : response_(std::move(response)) {}
  size_t Read(void* buffer, size_t count) override {
    size_t got = 0;
    if (!response_->Read(buffer, count, got)) throw std::runtime_error("the transfer failed after " + std::to_string(position_) + " bytes");
    position_ += got;
    if (got == 0 && count > 0) {
      std::optional<uint64_t> announced = response_->ContentLength();
      if (announced && *announced != position_) {
        throw std::runtime_error("the transfer ended after " + std::to_string(position_) + " of " +
                                 std::to_string(*announced) + " bytes");
      }
    }
    return got;
  }
  void Write(const void*, size_t) override { throw std::logic_error("a web response cannot be written"); }
  int64_t Position() const override { return static_cast<int64_t>(position_); }
  void Seek(int64_t position) override {
    if (static_cast<uint64_t>(position) != position_) throw std::logic_error("a web response is read front to back");
  }
  int64_t Size() const override {
    std::optional<uint64_t> announced = response_->ContentLength();
    if (!announced) throw std::logic_error("the server announced no length");
    return static_cast<int64_t>(*announced);
  }

 private:
  std::unique_ptr<platform::UrlResponse> response_;
  uint64_t position_ = 0;
};

class WebSite : public SiteSource {
 public:
  explicit WebSite(std::string base) : base_(std::move(base)) {
    if (base_.back() != '/') base_ += '/';
  }
  std::unique_ptr<TStream> Open(const std::string& relative, std::string& problem) const override {
    platform::UrlRequest request;
    request.agent = "update-site";
    request.receive_timeout_ms = 60000;
    const std::string url = base_ + EncodeAddressPath(relative);
    std::unique_ptr<platform::UrlResponse> response = platform::UrlResponse::Open(url, request);
    if (!response) {
      problem = "cannot connect to " + url;
      return nullptr;
    }
    if (response->Status() == 404) {
      problem = "missing (HTTP 404)";
      return nullptr;
    }
    if (response->Status() < 200 || response->Status() > 299) {
      problem = "HTTP " + std::to_string(response->Status());
      return nullptr;
    }
    return std::make_unique<ResponseStream>(std::move(response));
  }

 private:
  std::string base_;
};

bool StartsWith(const std::string& text, const std::string& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

}  // namespace

std::unique_ptr<SiteSource> OpenSite(const std::string& folder_or_url) {
  if (StartsWith(folder_or_url, "http://") || StartsWith(folder_or_url, "https://")) {
    return std::make_unique<WebSite>(folder_or_url);
  }
  return std::make_unique<FolderSite>(folder_or_url);
}

std::optional<std::string> ReadSmallFile(const SiteSource& site, const std::string& relative, size_t limit,
                                         std::string& problem) {
  std::unique_ptr<TStream> stream = site.Open(relative, problem);
  if (!stream) return std::nullopt;
  std::string text;
  std::vector<char> block(65536);
  try {
    while (size_t got = stream->Read(block.data(), block.size())) {
      text.append(block.data(), got);
      if (text.size() > limit) {
        problem = "larger than " + std::to_string(limit >> 20) + " MiB";
        return std::nullopt;
      }
    }
  } catch (const std::exception& error) {
    problem = std::string("cannot be read: ") + error.what();
    return std::nullopt;
  }
  return text;
}
