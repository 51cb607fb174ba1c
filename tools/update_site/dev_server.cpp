#include "update_site/dev_server.h"

#include <chrono>
#include <vector>

#include "platform/files.h"
#include "update_site/site_files.h"
#include "update_site/site_manifest.h"
#include "update_site/utf8_path.h"
#include "updater/list_entry.h"

namespace {

constexpr int kPollMs = 200;
constexpr int kIdleMs = 10000;  // a kept-alive connection that sends nothing this long is closed
constexpr int kSendMs = 30000;
constexpr size_t kLargestHead = 16384;

bool EndsWith(const std::string& text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string FileIn(const std::string& folder, const std::string& relative) { return Utf8(FsPath(folder) / FsPath(relative)); }

Answer FileAnswer(const std::string& path, std::string content_type) {
  if (!platform::FileExists(path)) return {404, "", ""};
  return {200, path, std::move(content_type)};
}

Answer ConfigAnswer(const ServeOptions& options, const HttpRequest& request) {
  if (options.config_dir.empty()) return {404, "", ""};
  std::optional<std::string> token = QueryValue(request.query, "token");
  // The token names a file only when it cannot name anything but a file in that folder.
  if (token && !token->empty() && token->find_first_of("\\/") == std::string::npos && IsSafeGamePath(*token + ".json")) {
    Answer answer = FileAnswer(FileIn(options.config_dir, *token + ".json"), "application/json");
    if (answer.status == 200) return answer;
  }
  return FileAnswer(FileIn(options.config_dir, "default.json"), "application/json");
}

const char* Reason(int status) {
  switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 431: return "Request Header Fields Too Large";
    default: return "Error";
  }
}

std::string Head(int status, uint64_t length, const std::string& content_type, bool keep_alive) {
  std::string head = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) + "\r\n";
  head += "Server: update-site\r\nCache-Control: no-store\r\n";
  head += "Content-Type: " + content_type + "\r\nContent-Length: " + std::to_string(length) + "\r\n";
  if (status == 405) head += "Allow: GET, HEAD\r\n";
  head += keep_alive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
  return head;
}

}  // namespace

Answer Route(const ServeOptions& options, const HttpRequest& request) {
  if (request.method != "GET" && request.method != "HEAD") return {405, "", ""};
  if (request.path == "/api/return.php") return ConfigAnswer(options, request);
  const std::string relative = request.path.substr(1);
  if (relative.empty() || relative.back() == '/') return {404, "", ""};
  if (!IsSafeGamePath(relative)) return {403, "", ""};
  const std::string name = relative.substr(relative.find_last_of("\\/") + 1);
  if (name == kManifestName || EndsWith(name, kTemporarySuffix)) return {404, "", ""};
  return FileAnswer(FileIn(options.site_dir, relative),
                    EndsWith(name, ".update") ? "text/plain; charset=windows-1252" : "application/octet-stream");
}

DevServer::DevServer(ServeOptions options)
    : options_(std::move(options)), listener_(net::Socket::Listen(options_.bind, options_.port)), port_(listener_.LocalPort()) {}

DevServer::~DevServer() {
  stopping_ = true;
  connections_.clear();  // joins
}

void DevServer::Run(std::ostream* log, const std::atomic<bool>* interrupted) {
  const auto start = std::chrono::steady_clock::now();
  auto expired = [&] {
    return options_.lifetime_seconds &&
           std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >= *options_.lifetime_seconds;
  };
  while (!stopping_ && !(interrupted && *interrupted) && !expired()) {
    net::Socket client = listener_.Accept(kPollMs);
    ReapFinished();
    if (!client.Valid()) continue;
    Connection& connection = connections_.emplace_back();
    connection.thread = std::jthread([this, &connection, log, client = std::move(client)]() mutable {
      try {
        Serve(std::move(client), log);
      } catch (const std::exception& error) {
        Log(log, std::string("connection failed: ") + error.what());
      }
      connection.done = true;
    });
  }
  stopping_ = true;
  connections_.clear();
}

void DevServer::ReapFinished() {
  connections_.remove_if([](const Connection& connection) { return connection.done.load(); });
}

void DevServer::Log(std::ostream* log, const std::string& line) {
  if (!log) return;
  std::lock_guard lock(log_mutex_);
  *log << line << std::endl;
}

// Reads request heads one after another on the connection until the client closes it, asks to
// close it, sends a body we do not read, stays idle too long, or the server stops.
void DevServer::Serve(net::Socket client, std::ostream* log) {
  std::string pending;
  char block[4096];
  int idle_ms = 0;
  while (!stopping_) {
    size_t end = pending.find("\r\n\r\n");
    if (end == std::string::npos) {
      if (pending.size() > kLargestHead) {
        const std::string head = Head(431, 0, "text/plain", false);
        client.SendAll(head.data(), head.size(), kSendMs);
        return;
      }
      long got = client.Receive(block, sizeof block, kPollMs);
      if (got == net::Socket::kTimedOut) {
        if ((idle_ms += kPollMs) >= kIdleMs) return;
        continue;
      }
      if (got <= 0) return;
      idle_ms = 0;
      pending.append(block, static_cast<size_t>(got));
      continue;
    }
    std::optional<HttpRequest> request = ParseRequestHead(std::string_view(pending).substr(0, end + 4));
    pending.erase(0, end + 4);
    if (!request) {
      const std::string head = Head(400, 0, "text/plain", false);
      client.SendAll(head.data(), head.size(), kSendMs);
      Log(log, "bad request");
      return;
    }
    if (!AnswerOne(client, *request, log) || !request->keep_alive || request->has_body) return;
  }
}

bool DevServer::AnswerOne(const net::Socket& client, const HttpRequest& request, std::ostream* log) {
  const bool keep_alive = request.keep_alive && !request.has_body;
  Answer answer = Route(options_, request);
  std::optional<platform::File> file;
  uint64_t length = 0;
  if (answer.status == 200) {
    try {
      file.emplace(platform::File::OpenRead(answer.file));
      length = static_cast<uint64_t>(file->Size());
    } catch (const platform::SystemError&) {
      answer = {404, "", ""};
    }
  }
  const std::string message = answer.status == 200 ? "" : std::to_string(answer.status) + " " + Reason(answer.status) + "\n";
  if (answer.status != 200) length = message.size();
  Log(log, request.method + " " + request.path + (request.query.empty() ? "" : "?" + request.query) + " " +
               std::to_string(answer.status) + " " + std::to_string(length));
  const std::string head = Head(answer.status, length, answer.status == 200 ? answer.content_type : "text/plain", keep_alive);
  if (!client.SendAll(head.data(), head.size(), kSendMs)) return false;
  if (request.method == "HEAD") return true;
  if (!file) return client.SendAll(message.data(), message.size(), kSendMs);
  std::vector<char> block(65536);
  while (size_t got = file->Read(block.data(), block.size())) {
    if (stopping_ || !client.SendAll(block.data(), got, kSendMs)) return false;
  }
  return true;
}
