// The HTTP server's workers: a pool that grows with the open connections up to a bound.
#pragma once

#include <httplib.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace zw::scores {

// The server gives every connection to one worker for as long as it stays open, so a fixed
// handful of workers would let a few idle or slow connections starve every other player. This
// pool starts a worker whenever a connection finds all of them busy, up to maxWorkers; beyond
// that, connections wait their turn. Idle connections are closed by the server's keep-alive and
// read time-outs, which hand their workers back.
class TGrowingPool final : public httplib::TaskQueue {
 public:
  explicit TGrowingPool(size_t maxWorkers) : maxWorkers_(maxWorkers < 1 ? 1 : maxWorkers) {}
  ~TGrowingPool() override { shutdown(); }

  void enqueue(std::function<void()> fn) override {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    jobs_.push_back(std::move(fn));
    if (idle_ < jobs_.size() && workers_.size() < maxWorkers_)
      workers_.emplace_back([this] { Work(); });
    wake_.notify_one();
  }

  void shutdown() override {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
      stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : workers_) t.join();
  }

  size_t Workers() {
    std::lock_guard lock(mutex_);
    return workers_.size();
  }

 private:
  void Work() {
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock lock(mutex_);
        ++idle_;
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        --idle_;
        if (jobs_.empty()) return;  // stopping with nothing left to do
        job = std::move(jobs_.front());
        jobs_.pop_front();
      }
      job();
    }
  }

  size_t maxWorkers_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  std::vector<std::thread> workers_;
  size_t idle_ = 0;
  bool stopping_ = false;
};

}  // namespace zw::scores
