#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/files.h"
#include "platform/internet.h"
#include "signing/signed_statement.h"

// How a transfer ended. Only a complete one leaves its file behind.
enum class TransferOutcome { Complete, Failed, NotTheSignedPackage, Cancelled };

// Follows a transfer on the thread that runs it.
class TransferObserver {
 public:
  virtual ~TransferObserver() = default;
  // The first answer arrived and its body begins: the moment its rate is counted from.
  virtual void Began() {}
  // The transfer starts over from the first byte: what arrived before is gone.
  virtual void StartedOver() {}
  // A request of the transfer could not be opened: no connection, or a refused certificate.
  virtual void NotConnected(const platform::InternetFailure& failure) {}
  // `data` has just been appended to `file`, which holds `received` bytes now and is open for
  // reading too. False cancels the transfer.
  virtual bool Arrived(platform::File& file, const char* data, size_t size, uint64_t received) = 0;
};

struct TransferSettings {
  // A read that receives nothing for this long fails.
  uint32_t receive_timeout_ms = 60000;
  // Waits between a cut and its resumption.
  std::function<void(uint32_t milliseconds)> pause;
  // When it turns true, the transfer ends soon as cancelled, even while a read waits.
  const std::atomic<bool>* cancelled = nullptr;
  // A larger body fails as soon as it passes this size, whatever length the server announced.
  // Sizes and positions are 32-bit and shown on signed bars, hence the default.
  uint64_t largest = kLargestTransfer;
  static constexpr uint64_t kLargestTransfer = 2147483647;
};

// Fetches the address into local_name. A failed status, a body larger than the settings allow, or a body that
// ends before its announced length and cannot be resumed fails: an error page or a cut package
// never passes for the file, and nothing of a transfer that did not complete stays behind.
// With a signed package, an answer of another length or digest is not that package, and
// nothing beyond its signed size is ever read. Runs on any thread; a file that cannot be
// created or written raises.
TransferOutcome TransferFile(const std::string& url, const std::string& local_name, const PackageDigest* signed_package,
                             const TransferSettings& settings, TransferObserver& observer);
