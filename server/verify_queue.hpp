// The replay verification queue: submitted replays are ridden again by zapwheely-verify, one
// separate, limited process per replay, on a few worker threads off the request path.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "server/store.hpp"

namespace zw::scores {

// What a request hands the queue: it must answer at once.
class IVerifySink {
 public:
  virtual ~IVerifySink() = default;
  // Takes a pending result's replay for riding; false when the queue is full (the replay stays
  // pending in the database and is taken up once the queue has room).
  virtual bool Offer(const TPendingReplay& job) = 0;
};

struct TVerifyOptions {
  std::string Verifier;  // the zapwheely-verify program
  std::string DataDir;   // its --data: the run-time folder whose packs it rides with
  int Workers = 2;       // replays ridden at once
  size_t Capacity = 64;  // replays waiting in memory at most
  int CpuSeconds = 20;   // RLIMIT_CPU of one ride (a ten-level game takes about a second)
  int64_t MemoryBytes = int64_t{1} << 30;  // RLIMIT_AS of one ride
  int WallSeconds = 40;                    // a ride still running after this is killed
  bool Quiet = false;
};

// The outcome of one ride.
struct TVerifyOutcome {
  bool Verified = false;
  std::string Reason;  // the verifier's line, or what stopped it
};

// Runs the verifier on one replay under the limits and reads its verdict; never throws. Judged
// is false when the verifier itself could not run (the replay was not judged). A set cancel
// flag kills the ride.
TVerifyOutcome RunVerifier(const TVerifyOptions& options, const std::string& replay, int32_t score,
                           bool& judged, const std::atomic<bool>* cancel = nullptr);

class TVerifyQueue final : public IVerifySink {
 public:
  TVerifyQueue(IScoreStore& store, TVerifyOptions options);
  ~TVerifyQueue() override;
  TVerifyQueue(const TVerifyQueue&) = delete;
  TVerifyQueue& operator=(const TVerifyQueue&) = delete;

  bool Offer(const TPendingReplay& job) override;
  // Starts the workers; they first take up the replays left pending by an earlier run.
  void Start();
  // Stops the workers (a ride under way is killed) and waits for them.
  void Stop();
  // Replays waiting in memory now (for tests and the health of the queue).
  size_t Waiting();

 private:
  void Work();
  // Refills the memory queue from the database when it has run dry; true when work was found.
  bool Refill();

  IScoreStore& store_;
  TVerifyOptions options_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<TPendingReplay> queue_;
  // Ids waiting or being ridden, so a refill from the database never takes one twice.
  std::set<int64_t> held_;
  // A later upload found the queue full and left its replay pending in the database.
  bool overflowed_ = true;
  std::atomic<bool> stopping_{false};
  std::vector<std::thread> workers_;
};

}  // namespace zw::scores
