#include "support/http_test_server.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <optional>

#include "update_site/server/background_server.h"
#include "update_site/server/byte_ranges.h"

namespace {

constexpr size_t kSendBlock = 262144;
// A paced body goes out in small pieces, so its rate is even at the scale of a client's reads.
constexpr size_t kPacedBlock = 16384;
constexpr char kContentType[] = "application/octet-stream";
// The Last-Modified of the first body served; each one after it is a second later.
constexpr std::chrono::sys_days kFirstModified{std::chrono::year(2024) / 1 / 1};

const char* ReasonOf(int status) {
  switch (status) {
    case 200: return "OK";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}

// httplib keeps the connection's addresses among the request's headers.
bool SentByClient(const std::string& name) {
  return name != "REMOTE_ADDR" && name != "REMOTE_PORT" && name != "LOCAL_ADDR" && name != "LOCAL_PORT";
}

HttpRequestSeen Seen(const httplib::Request& request) {
  std::string headers = request.method + " " + request.target + " " + request.version + "\r\n";
  for (const auto& [name, value] : request.headers) {
    if (SentByClient(name)) headers += name + ": " + value + "\r\n";
  }
  return {request.target, request.get_header_value("User-Agent"), headers + "\r\n", request.get_header_value("Range"),
          request.get_header_value("If-Range")};
}

}  // namespace

struct HttpTestServer::Resource {
  std::string body;
  std::filesystem::path file;
  bool from_file = false;
  int status = 200;
  Validators validators;

  uint64_t Size() const { return from_file ? std::filesystem::file_size(file) : body.size(); }
};

struct HttpTestServer::State {
  explicit State(std::chrono::seconds lifetime) : deadline(std::chrono::steady_clock::now() + lifetime) {
    http.set_keep_alive_max_count(1);
    http.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
      Answer(request, response);
      return httplib::Server::HandlerResponse::Handled;
    });
    background.emplace(http, "127.0.0.1", 0, deadline);
  }
  ~State() {
    stopping = true;
    background.reset();
  }

  void Put(const std::string& path, Resource resource) {
    std::lock_guard lock(mutex);
    ++versions;
    const std::string etag = std::string(1, '"').append(std::to_string(versions)).append(1, '"');
    resource.validators = {etag, HttpDate(kFirstModified + std::chrono::seconds(versions))};
    resources[path] = std::make_shared<const Resource>(std::move(resource));
  }

  // The resource and the fault for the target, with the fault counted as used.
  std::pair<std::shared_ptr<const Resource>, HttpFault> Take(const std::string& target) {
    std::lock_guard lock(mutex);
    std::shared_ptr<const Resource> resource;
    HttpFault* fault = nullptr;
    for (const std::string& key : {target, target.substr(0, target.find('?'))}) {
      if (auto it = resources.find(key); !resource && it != resources.end()) resource = it->second;
      if (auto it = faults.find(key); it != faults.end()) fault = &it->second;
    }
    if (!fault || fault->times == 0) return {resource, HttpFault{}};
    if (fault->times > 0) --fault->times;
    return {resource, *fault};
  }

  void Answer(const httplib::Request& request, httplib::Response& response) {
    {
      std::lock_guard lock(mutex);
      requests.push_back(Seen(request));
    }
    {
      std::lock_guard lock(mutex);
      most_at_once = std::max(most_at_once, ++at_once);
    }
    Stall(static_cast<int>(answer_delay.load().count()));
    {
      std::lock_guard lock(mutex);
      --at_once;
    }
    auto [resource, fault] = Take(request.target);
    Stall(fault.delay_ms);
    const int status = fault.status ? fault.status : resource ? resource->status : 404;
    if (fault.status || !resource) {
      Resource page;
      page.body = "<html><body>" + std::to_string(status) + " " + ReasonOf(status) + "</body></html>";
      page.status = status;
      resource = std::make_shared<const Resource>(std::move(page));
      fault.cut_after = fault.stall_after = -1;
    }
    const uint64_t size = resource->Size();
    BytePart part{status, 0, size};
    if (status != 200) {
      IgnoreRange(request);
      response.status = status;
    } else {
      if (fault.ignore_ranges) IgnoreRange(request);
      if (!fault.ignore_ranges) part = TakeRange(request, size, resource->validators);
      SetPartHeaders(response, part, size, resource->validators);
      if (fault.ignore_ranges) response.headers.erase("Accept-Ranges");
      if (part.status == 416) return response.set_content("", kContentType);
    }
    Send(response, resource, part, fault);
  }

  // The part's bytes, as far as the fault lets them go.
  void Send(httplib::Response& response, std::shared_ptr<const Resource> resource, const BytePart& part, const HttpFault& fault) {
    const int64_t limit = fault.cut_after >= 0 ? fault.cut_after : fault.stall_after >= 0 ? fault.stall_after : -1;
    const uint64_t sent = limit >= 0 ? std::min(part.length, static_cast<uint64_t>(limit)) : part.length;
    const uint64_t announced = part.length + static_cast<uint64_t>(fault.extra_length);
    auto file = resource->from_file ? std::make_shared<std::ifstream>(resource->file, std::ios::binary) : nullptr;
    // Called with the bytes of the body sent so far; false closes the connection.
    const size_t piece = fault.bytes_per_second > 0 || line_rate > 0 ? kPacedBlock : kSendBlock;
    auto send_piece = [this, resource, file, part, sent, fault, piece, block = std::vector<char>(piece),
                       started = std::optional<std::chrono::steady_clock::time_point>()](
                          size_t at, httplib::DataSink& sink) mutable {
      if (at >= sent) {
        if (fault.stall_after >= 0) Stall(fault.stall_ms);
        return false;
      }
      if (fault.bytes_per_second > 0) {
        if (!started) started = std::chrono::steady_clock::now();
        const auto due = *started + std::chrono::microseconds(static_cast<int64_t>(at) * 1000000 / fault.bytes_per_second);
        StallUntil(due);
      }
      const size_t count = static_cast<size_t>(std::min<uint64_t>(piece, sent - at));
      if (line_rate > 0) StallUntil(TakeLine(count));
      if (!file) return sink.write(resource->body.data() + part.offset + at, count);
      file->seekg(static_cast<std::streamoff>(part.offset + at));
      file->read(block.data(), static_cast<std::streamsize>(count));
      return file->gcount() > 0 && sink.write(block.data(), static_cast<size_t>(file->gcount()));
    };
    if (fault.no_length) {
      response.set_content_provider(kContentType, [send_piece](size_t at, httplib::DataSink& sink) mutable {
        if (!send_piece(at, sink)) sink.done();
        return true;
      });
    } else if (announced > 0) {
      response.set_content_provider(announced, kContentType,
                                    [send_piece](size_t at, size_t, httplib::DataSink& sink) mutable { return send_piece(at, sink); });
    } else {
      response.set_content("", kContentType);
    }
  }

  // Ends early when the server stops.
  // When the line has carried the pieces sent before and this one.
  std::chrono::steady_clock::time_point TakeLine(size_t bytes) {
    std::lock_guard lock(mutex);
    line_free = std::max(line_free, std::chrono::steady_clock::now()) +
                std::chrono::microseconds(static_cast<int64_t>(bytes) * 1000000 / line_rate);
    return line_free;
  }

  void Stall(int milliseconds) {
    if (milliseconds > 0) StallUntil(std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds));
  }

  void StallUntil(std::chrono::steady_clock::time_point until) {
    until = std::min(until, deadline);
    while (!stopping && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(until - std::chrono::steady_clock::now(),
                                                                                std::chrono::milliseconds(20)));
    }
  }

  const std::chrono::steady_clock::time_point deadline;
  std::atomic<bool> stopping{false};
  std::atomic<std::chrono::milliseconds> answer_delay{std::chrono::milliseconds(0)};
  std::atomic<int64_t> line_rate{0};
  std::chrono::steady_clock::time_point line_free;  // under mutex
  mutable std::mutex mutex;
  std::map<std::string, std::shared_ptr<const Resource>> resources;
  std::map<std::string, HttpFault> faults;
  std::vector<HttpRequestSeen> requests;
  uint64_t versions = 0;
  int at_once = 0, most_at_once = 0;  // requests waiting for their answer
  httplib::Server http;
  std::optional<BackgroundServer> background;  // last: stops before what the handlers use goes
};

HttpTestServer::HttpTestServer(std::chrono::seconds lifetime) : state_(std::make_unique<State>(lifetime)) {}

HttpTestServer::~HttpTestServer() = default;

std::string HttpTestServer::BaseUrl() const { return Url("/"); }

std::string HttpTestServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(state_->background->Port()) + path;
}

void HttpTestServer::Serve(const std::string& path, std::string body, int status) {
  state_->Put(path, Resource{std::move(body), {}, false, status, {}});
}

void HttpTestServer::ServeFile(const std::string& path, const std::filesystem::path& file) {
  state_->Put(path, Resource{{}, file, true, 200, {}});
}

void HttpTestServer::SetFault(const std::string& path, const HttpFault& fault) {
  std::lock_guard lock(state_->mutex);
  state_->faults[path] = fault;
}

void HttpTestServer::SetAnswerDelay(std::chrono::milliseconds delay) { state_->answer_delay = delay; }

void HttpTestServer::SetLineRate(int64_t bytes_per_second) { state_->line_rate = bytes_per_second; }

int HttpTestServer::MostRequestsAtOnce() const {
  std::lock_guard lock(state_->mutex);
  return state_->most_at_once;
}

std::vector<HttpRequestSeen> HttpTestServer::Requests() const {
  std::lock_guard lock(state_->mutex);
  return state_->requests;
}

std::string RefusedUrl() {
  // Bound but never listening: connections are refused.
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
}
