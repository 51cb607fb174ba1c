#include "transfer/package_unpacker.h"

#include <stdexcept>

#include "bzip2/parallel_bz2_decoder.h"
#include "crc32/crc32.h"

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
  decoder_ = std::make_unique<ParallelBzip2Decoder>([this](const char* data, size_t size) { Write(data, size); });
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
  if (progress) progress(decoder_->InputConsumed());
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
