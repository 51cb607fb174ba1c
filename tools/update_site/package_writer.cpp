#include "update_site/package_writer.h"

#include <bzlib.h>

#include <stdexcept>
#include <vector>

#include "platform/files.h"
#include "update_site/game_tree.h"
#include "updater/crc32.h"

namespace {

constexpr size_t kReadBlock = 1 << 20;
constexpr size_t kWriteBlock = 1 << 18;

// The compressor's state, released whatever happens.
class Compressor {
 public:
  Compressor() {
    int result = BZ2_bzCompressInit(&bz_, 9, 0, 0);
    if (result != BZ_OK) throw std::runtime_error("bzip2 cannot start (error " + std::to_string(result) + ")");
  }
  ~Compressor() { BZ2_bzCompressEnd(&bz_); }
  Compressor(const Compressor&) = delete;
  Compressor& operator=(const Compressor&) = delete;
  bz_stream& Stream() { return bz_; }

 private:
  bz_stream bz_{};
};

class PackageOutput {
 public:
  PackageOutput(const std::string& path, const std::string& source) : file_(platform::File::Create(path)), source_(source) {}

  // Runs the compressor with `action` until it has taken all input (or finished the stream) and
  // writes what it produced.
  void Pump(bz_stream& bz, int action) {
    for (;;) {
      bz.next_out = block_.data();
      bz.avail_out = static_cast<unsigned>(block_.size());
      int result = BZ2_bzCompress(&bz, action);
      if (result < 0) throw std::runtime_error("bzip2 failed on \"" + source_ + "\" (error " + std::to_string(result) + ")");
      Write(block_.size() - bz.avail_out);
      if (action == BZ_RUN ? bz.avail_in == 0 : result == BZ_STREAM_END) return;
    }
  }

  uint64_t Written() const { return written_; }
  Sha256Digest Sha256Final() { return sha256_.Final(); }
  void Finish() {
    file_.Flush();
    file_.Close();
  }

 private:
  void Write(size_t size) {
    written_ += size;
    if (written_ > kLargestListedSize) {
      throw std::runtime_error("\"" + source_ + "\": its package would be 2 GiB or more, and the update list's sizes are 32-bit");
    }
    file_.Write(block_.data(), size);
    sha256_.Update(block_.data(), size);
  }

  platform::File file_;
  std::string source_;
  std::vector<char> block_ = std::vector<char>(kWriteBlock);
  uint64_t written_ = 0;
  Sha256 sha256_;
};

}  // namespace

PackedFile WritePackage(const std::string& file, const std::string& package, const ReadProgress& progress) {
  platform::File input = platform::File::OpenRead(file);
  PackageOutput output(package, file);
  Compressor compressor;
  bz_stream& bz = compressor.Stream();
  PackedFile packed;
  std::vector<char> block(kReadBlock);
  while (size_t got = input.Read(block.data(), block.size())) {
    packed.crc = Crc32(packed.crc, block.data(), got);
    packed.file_size += got;
    bz.next_in = block.data();
    bz.avail_in = static_cast<unsigned>(got);
    output.Pump(bz, BZ_RUN);
    if (progress) progress(got);
  }
  output.Pump(bz, BZ_FINISH);
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
