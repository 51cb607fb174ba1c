#include "update_site/builder/package_writer.h"

#include <deque>
#include <future>
#include <optional>
#include <stdexcept>
#include <vector>

#include "crc32/crc32.h"
#include "platform/files.h"
#include "update_site/builder/bzip2_blocks.h"
#include "update_site/game_tree.h"
#include "update_site/work_pool.h"

namespace {

constexpr size_t kReadBlock = 1 << 20;

class PackageOutput {
 public:
  PackageOutput(const std::string& path, const std::string& source) : file_(platform::File::Create(path)), source_(source) {}

  void Write(const char* data, size_t size) {
    written_ += size;
    if (written_ > kLargestListedSize) {
      throw std::runtime_error("\"" + source_ + "\": its package would be 2 GiB or more, and the update list's sizes are 32-bit");
    }
    file_.Write(data, size);
    sha256_.Update(data, size);
  }

  uint64_t Written() const { return written_; }
  Sha256Digest Sha256Final() { return sha256_.Final(); }
  void Finish() {
    file_.Flush();
    file_.Close();
  }

 private:
  platform::File file_;
  std::string source_;
  uint64_t written_ = 0;
  Sha256 sha256_;
};

// A whole chunk, or less only at the end of the file: the chunk boundaries, and so the package,
// must not depend on how the system splits reads.
std::vector<char> ReadChunk(platform::File& input) {
  std::vector<char> chunk(kChunkSize);
  size_t filled = 0;
  while (filled < chunk.size()) {
    size_t got = input.Read(chunk.data() + filled, chunk.size() - filled);
    if (got == 0) break;
    filled += got;
  }
  chunk.resize(filled);
  return chunk;
}

// The chunks being compressed, in file order. With one thread each chunk is compressed as it
// comes, on the caller's thread.
class ChunksInFlight {
 public:
  explicit ChunksInFlight(unsigned threads) : window_(2 * std::max(1u, threads)) {
    if (threads > 1) pool_.emplace(threads);
  }

  bool Full() const { return futures_.size() >= window_; }
  bool Empty() const { return futures_.empty(); }

  void Add(std::vector<char> chunk) {
    auto task = [chunk = std::move(chunk)] { return CompressChunk(chunk.data(), chunk.size()); };
    if (pool_) {
      futures_.push_back(pool_->Submit(std::move(task)));
      return;
    }
    std::packaged_task<Bzip2Block()> now(std::move(task));
    futures_.push_back(now.get_future());
    now();
  }

  Bzip2Block TakeFirst() {
    Bzip2Block block = futures_.front().get();
    futures_.pop_front();
    return block;
  }

 private:
  size_t window_;
  std::deque<std::future<Bzip2Block>> futures_;
  std::optional<TaskPool> pool_;  // last: on an error it stops before the futures go
};

}  // namespace

uint64_t ChunkCount(uint64_t size) { return (size + kChunkSize - 1) / kChunkSize; }

PackedFile WritePackage(const std::string& file, const std::string& package, const ReadProgress& progress,
                        unsigned threads) {
  platform::File input = platform::File::OpenRead(file);
  PackageOutput output(package, file);
  Bzip2StreamJoiner joiner([&](const char* data, size_t size) { output.Write(data, size); });
  ChunksInFlight in_flight(threads);
  PackedFile packed;
  auto join_first = [&] {
    Bzip2Block block = in_flight.TakeFirst();
    joiner.Append(block);
    if (progress) progress(block.source_size);
  };
  for (std::vector<char> chunk; !(chunk = ReadChunk(input)).empty();) {
    packed.crc = Crc32(packed.crc, chunk.data(), chunk.size());
    packed.file_size += chunk.size();
    if (in_flight.Full()) join_first();
    in_flight.Add(std::move(chunk));
  }
  while (!in_flight.Empty()) join_first();
  joiner.Finish();
  output.Finish();
  packed.package_size = output.Written();
  packed.package_sha256 = output.Sha256Final();
  return packed;
}

Sha256Digest PackageSha256(const std::string& package) {
  platform::File input = platform::File::OpenRead(package);
  std::vector<char> block(kReadBlock);
  Sha256 sha256;
  while (size_t got = input.Read(block.data(), block.size())) sha256.Update(block.data(), got);
  return sha256.Final();
}

uint32_t ContentCrc(const std::string& file, const ReadProgress& progress) {
  platform::File input = platform::File::OpenRead(file);
  std::vector<char> block(kReadBlock);
  uint32_t crc = 0;
  while (size_t got = input.Read(block.data(), block.size())) {
    crc = Crc32(crc, block.data(), got);
    if (progress) progress(got);
  }
  return crc;
}
