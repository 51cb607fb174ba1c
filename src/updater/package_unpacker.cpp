#include "updater/package_unpacker.h"

#include <bzlib.h>

#include <algorithm>
#include <climits>
#include <stdexcept>
#include <vector>

#include "updater/bz_stream.h"
#include "updater/crc32.h"

// One bzip2 stream fed in pieces through libbz2; the same verdicts as TBZDecompressionStream:
// a stream must be complete and be all of the package.
class PackageDecoder {
 public:
  using Sink = std::function<void(const char*, size_t)>;

  explicit PackageDecoder(Sink sink) : sink_(std::move(sink)), output_(65536) {
    int result = BZ2_bzDecompressInit(&bz_, 0, 0);
    if (result != BZ_OK) throw EBZDecompressionError("error " + std::to_string(result));
  }
  ~PackageDecoder() { BZ2_bzDecompressEnd(&bz_); }
  PackageDecoder(const PackageDecoder&) = delete;
  PackageDecoder& operator=(const PackageDecoder&) = delete;

  void Feed(const char* data, size_t size) {
    if (size > 0 && ended_) throw EBZDecompressionError("Data follows the end of the bzip2 stream");
    while (size > 0) {
      const unsigned piece = static_cast<unsigned>(std::min<size_t>(size, UINT_MAX));
      bz_.next_in = const_cast<char*>(data);
      bz_.avail_in = piece;
      Run();
      if (ended_ && bz_.avail_in > 0) throw EBZDecompressionError("Data follows the end of the bzip2 stream");
      consumed_ += piece;
      data += piece;
      size -= piece;
    }
  }

  // A stream that has not reached its end mark with all its input is a cut package.
  void Finish() {
    bz_.avail_in = 0;
    Run();
    if (!ended_) throw EBZDecompressionError("The bzip2 stream ends before its end mark");
  }

  uint64_t Consumed() const { return consumed_; }

 private:
  // Decompresses until the input is used up and no more output comes.
  void Run() {
    while (!ended_) {
      bz_.next_out = output_.data();
      bz_.avail_out = static_cast<unsigned>(output_.size());
      const unsigned input_before = bz_.avail_in;
      int result = BZ2_bzDecompress(&bz_);
      if (result < 0) throw EBZCompressionError("error " + std::to_string(result));
      const size_t produced = output_.size() - bz_.avail_out;
      if (produced > 0) sink_(output_.data(), produced);
      if (result == BZ_STREAM_END) ended_ = true;
      if (produced == 0 && bz_.avail_in == input_before) break;
    }
  }

  Sink sink_;
  bz_stream bz_{};
  std::vector<char> output_;
  uint64_t consumed_ = 0;
  bool ended_ = false;
};

PackageUnpacker::PackageUnpacker(std::string target, uint64_t max_size)
    : target_(std::move(target)), max_size_(max_size) {
  StartOver();
}

PackageUnpacker::~PackageUnpacker() = default;

void PackageUnpacker::StartOver() {
  decoder_.reset();
  file_.reset();
  file_.emplace(platform::File::Create(target_));
  crc_ = 0;
  written_ = 0;
  failure_ = nullptr;
  decoder_ = std::make_unique<PackageDecoder>([this](const char* data, size_t size) { Write(data, size); });
}

// A damaged package is reported when its unpacking is due, after the download, so the player
// sees the same steps whatever the package holds.
void PackageUnpacker::Feed(const char* data, size_t size) {
  if (failure_) return;
  try {
    decoder_->Feed(data, size);
  } catch (...) {
    failure_ = std::current_exception();
  }
}

uint32_t PackageUnpacker::Finish(const std::function<void(uint64_t consumed)>& progress) {
  if (failure_) std::rethrow_exception(failure_);
  decoder_->Finish();
  if (progress) progress(decoder_->Consumed());
  // Flushed before it is checked and put in place, so the rename never publishes data that is
  // not yet on disk.
  file_->Flush();
  file_->Close();
  return crc_;
}

void PackageUnpacker::Write(const char* data, size_t size) {
  written_ += size;
  if (written_ > max_size_) throw std::runtime_error("The package unpacks to more than a game file may hold");
  file_->Write(data, size);
  crc_ = Crc32(crc_, data, size);
}
