#include "update_site/builder/memory_budget.h"

MemoryBudget::Share::Share(MemoryBudget& budget, uint64_t bytes) : budget_(budget), bytes_(bytes) {
  std::unique_lock lock(budget_.mutex_);
  budget_.released_.wait(lock, [&] { return budget_.held_ == 0 || budget_.held_ + bytes_ <= budget_.budget_; });
  budget_.held_ += bytes_;
}

MemoryBudget::Share::~Share() {
  {
    std::lock_guard lock(budget_.mutex_);
    budget_.held_ -= bytes_;
  }
  budget_.released_.notify_all();
}
