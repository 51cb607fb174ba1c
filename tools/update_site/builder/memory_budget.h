#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>

// Bytes of memory that threads take and give back: a thread waits until what it asks for fits
// beside what the others hold, or until no other holds any, so that one request larger than
// the whole budget still runs, alone.
class MemoryBudget {
 public:
  explicit MemoryBudget(uint64_t bytes) : budget_(bytes) {}

  // What one thread holds, given back when it goes.
  class Share {
   public:
    Share(MemoryBudget& budget, uint64_t bytes);
    ~Share();
    Share(const Share&) = delete;
    Share& operator=(const Share&) = delete;

   private:
    MemoryBudget& budget_;
    uint64_t bytes_;
  };

 private:
  const uint64_t budget_;
  std::mutex mutex_;
  std::condition_variable released_;
  uint64_t held_ = 0;
};
