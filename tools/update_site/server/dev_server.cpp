#include "update_site/server/dev_server.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/files.h"
#include "update_list/list_entry.h"
#include "update_site/server/background_server.h"
#include "update_site/server/byte_ranges.h"
#include "update_site/site_files.h"
#include "update_site/site_manifest.h"
#include "update_site/utf8_path.h"

namespace {

constexpr auto kPoll = std::chrono::milliseconds(100);
// A kept-alive connection that sends nothing this long is closed; stopping waits for it as long.
constexpr time_t kIdleSeconds = 5;
// Each kept-alive connection holds a thread while it lasts, and a browser opens six.
constexpr size_t kThreads = 32;
constexpr size_t kSendBlock = 65536;

// How a request is answered: a status, and for 200 the file to send.
struct Answer {
  int status = 404;
  std::string file;
  std::string content_type;
};

bool EndsWith(const std::string& text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string FileIn(const std::string& folder, const std::string& relative) { return Utf8(FsPath(folder) / FsPath(relative)); }

Answer FileAnswer(const std::string& path, std::string content_type) {
  if (!platform::FileExists(path)) return {404, "", ""};
  return {200, path, std::move(content_type)};
}

Answer ConfigAnswer(const ServeOptions& options, const httplib::Request& request) {
  if (options.config_dir.empty()) return {404, "", ""};
  const std::string token = request.get_param_value("token");
  // The token names a file only when it cannot name anything but a file in that folder.
  if (!token.empty() && token.find_first_of("\\/") == std::string::npos && IsSafeGamePath(token + ".json")) {
    Answer answer = FileAnswer(FileIn(options.config_dir, token + ".json"), "application/json");
    if (answer.status == 200) return answer;
  }
  return FileAnswer(FileIn(options.config_dir, "default.json"), "application/json");
}

// An absolute target ("http://host/path"), as sent to a proxy, names the same path.
std::string PathOf(const httplib::Request& request) {
  const std::string& path = request.path;
  if (path.empty() || path.front() == '/' || path.find("://") == std::string::npos) return path;
  const size_t start = path.find('/', path.find("://") + 3);
  return start == std::string::npos ? "/" : path.substr(start);
}

Answer Route(const ServeOptions& options, const httplib::Request& request) {
  if (request.method != "GET" && request.method != "HEAD") return {405, "", ""};
  const std::string path = PathOf(request);
  if (path == "/api/return.php") return ConfigAnswer(options, request);
  const std::string relative = path.empty() ? "" : path.substr(1);
  if (relative.empty() || relative.back() == '/') return {404, "", ""};
  if (!IsSafeGamePath(relative)) return {403, "", ""};
  const std::string name = relative.substr(relative.find_last_of("\\/") + 1);
  if (name == kManifestName || EndsWith(name, kTemporarySuffix)) return {404, "", ""};
  return FileAnswer(FileIn(options.site_dir, relative),
                    EndsWith(name, ".update") ? "text/plain; charset=windows-1252" : "application/octet-stream");
}

const char* Reason(int status) {
  switch (status) {
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    default: return "Error";
  }
}

void AnswerError(int status, const httplib::Request& request, httplib::Response& response) {
  IgnoreRange(request);
  response.status = status;
  if (status == 405) response.set_header("Allow", "GET, HEAD");
  response.set_content(std::to_string(status) + " " + Reason(status) + "\n", "text/plain");
}

// A file's validators change whenever a build puts a new package in place, since that is a new
// file with a new time.
Validators ValidatorsOf(const std::string& file, uint64_t size) {
  const auto modified = std::filesystem::last_write_time(FsPath(file));
  char etag[48];
  std::snprintf(etag, sizeof etag, "\"%llx-%llx\"", static_cast<unsigned long long>(size),
                static_cast<unsigned long long>(modified.time_since_epoch().count()));
  return {etag, HttpDate(std::chrono::file_clock::to_sys(modified))};
}

// Everything that can fail comes before the response is touched.
void AnswerFile(const Answer& answer, const httplib::Request& request, httplib::Response& response) {
  auto file = std::make_shared<platform::File>(platform::File::OpenRead(answer.file));
  const auto size = static_cast<uint64_t>(file->Size());
  const Validators validators = ValidatorsOf(answer.file, size);
  const BytePart part = TakeRange(request, size, validators);
  file->Seek(static_cast<int64_t>(part.offset));
  SetPartHeaders(response, part, size, validators);
  if (part.length == 0) {
    response.set_content("", answer.content_type);
    return;
  }
  auto send = [file, block = std::vector<char>(kSendBlock)](size_t, size_t length, httplib::DataSink& sink) mutable {
    size_t got = file->Read(block.data(), std::min(length, block.size()));
    return got > 0 && sink.write(block.data(), got);
  };
  response.set_content_provider(part.length, answer.content_type, std::move(send));
}

}  // namespace

struct DevServer::Impl {
  explicit Impl(ServeOptions serve_options) : options(std::move(serve_options)) {
    http.new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
    http.set_keep_alive_max_count(1000);
    http.set_keep_alive_timeout(kIdleSeconds);
    http.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
      Handle(request, response);
      return httplib::Server::HandlerResponse::Handled;
    });
    http.set_logger([this](const httplib::Request& request, const httplib::Response& response) { Log(request, response); });
    background.emplace(http, options.bind, options.port);
  }

  void Handle(const httplib::Request& request, httplib::Response& response) {
    Answer answer = Route(options, request);
    try {
      if (answer.status == 200) AnswerFile(answer, request, response);
    } catch (const std::exception&) {  // gone or unreadable since it was found
      answer.status = 404;
    }
    if (answer.status != 200) AnswerError(answer.status, request, response);
    response.set_header("Server", "update-site");
    response.set_header("Cache-Control", "no-store");
  }

  void Log(const httplib::Request& request, const httplib::Response& response) {
    std::lock_guard lock(log_mutex);
    if (!log) return;
    const size_t query = request.target.find('?');
    *log << request.method << " " << request.path << (query == std::string::npos ? "" : request.target.substr(query)) << " "
         << response.status << " " << response.get_header_value("Content-Length") << std::endl;
  }

  ServeOptions options;
  httplib::Server http;
  std::mutex log_mutex;
  std::ostream* log = nullptr;
  std::optional<BackgroundServer> background;  // last: stops before what the handlers use goes
};

DevServer::DevServer(ServeOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

DevServer::~DevServer() = default;

uint16_t DevServer::Port() const { return impl_->background->Port(); }

void DevServer::Stop() { impl_->background->Stop(); }

void DevServer::Run(std::ostream* log, const std::atomic<bool>* interrupted) {
  {
    std::lock_guard lock(impl_->log_mutex);
    impl_->log = log;
  }
  const auto start = std::chrono::steady_clock::now();
  const std::optional<double>& lifetime = impl_->options.lifetime_seconds;
  while (!impl_->background->WaitStopped(kPoll)) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if ((interrupted && *interrupted) || (lifetime && seconds >= *lifetime)) impl_->background->Stop();
  }
  std::lock_guard lock(impl_->log_mutex);
  impl_->log = nullptr;
}
