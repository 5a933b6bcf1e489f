// The replay verification queue and the limited verifier process it runs per replay.
#include "server/verify_queue.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

namespace zw::scores {

namespace {

bool WriteAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    const ssize_t w = write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

void Limit(int resource, rlim_t soft, rlim_t hard) {
  const rlimit l{soft, hard};
  setrlimit(resource, &l);
}

}  // namespace

TVerifyOutcome RunVerifier(const TVerifyOptions& o, const std::string& replay, int32_t score,
                           bool& judged, const std::atomic<bool>* cancel) {
  judged = false;
  TVerifyOutcome out;
  // The replay goes in as an anonymous in-memory file: the verifier reads it as its standard
  // input, and nothing lands on the disk.
  const int input = memfd_create("zw-replay", MFD_CLOEXEC);
  if (input < 0 || !WriteAll(input, replay.data(), replay.size()) ||
      lseek(input, 0, SEEK_SET) != 0) {
    if (input >= 0) close(input);
    out.Reason = "cannot hand the replay over";
    return out;
  }
  int verdict[2];
  if (pipe2(verdict, O_CLOEXEC) != 0) {
    close(input);
    out.Reason = "cannot start the verifier";
    return out;
  }
  const int devnull = open("/dev/null", O_WRONLY | O_CLOEXEC);
  const std::string scoreText = std::to_string(score);
  std::vector<const char*> argv = {
      o.Verifier.c_str(), "--data", o.DataDir.c_str(), "--score", scoreText.c_str(), "-", nullptr};
  const pid_t pid = fork();
  if (pid == 0) {
    // The child: only calls that are safe after fork in a threaded process, then the verifier.
    setpgid(0, 0);
    // Its own network namespace where the system allows one (as root): no network at all.
    unshare(CLONE_NEWNET);
    dup2(input, 0);
    dup2(verdict[1], 1);
    dup2(devnull >= 0 ? devnull : verdict[1], 2);
    close_range(3, ~0u, 0);
    // The CPU limit ends the ride with SIGXCPU, and SIGKILL a second later.
    Limit(RLIMIT_CPU, static_cast<rlim_t>(o.CpuSeconds), static_cast<rlim_t>(o.CpuSeconds) + 1);
#if !defined(__SANITIZE_ADDRESS__)
    // (AddressSanitizer's shadow memory reserves terabytes of address space: a sanitizer build
    // of the service rides its replays under the time limits alone.)
    Limit(RLIMIT_AS, static_cast<rlim_t>(o.MemoryBytes), static_cast<rlim_t>(o.MemoryBytes));
#endif
    Limit(RLIMIT_FSIZE, 0, 0);
    Limit(RLIMIT_CORE, 0, 0);
    Limit(RLIMIT_NOFILE, 32, 32);
    execv(o.Verifier.c_str(), const_cast<char* const*>(argv.data()));
    _exit(127);
  }
  close(input);
  close(verdict[1]);
  if (devnull >= 0) close(devnull);
  if (pid < 0) {
    close(verdict[0]);
    out.Reason = "cannot start the verifier";
    return out;
  }
  std::string text;
  bool timedOut = false, cancelled = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(o.WallSeconds);
  for (;;) {
    if (cancel && *cancel) {
      cancelled = true;
      break;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) {
      timedOut = true;
      break;
    }
    pollfd p{verdict[0], POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(std::min<long long>(left, 200)));
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    char buf[512];
    const ssize_t n = read(verdict[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (text.size() < 1024) text.append(buf, static_cast<size_t>(n));
  }
  close(verdict[0]);
  if (timedOut || cancelled) kill(-pid, SIGKILL), kill(pid, SIGKILL);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  const std::string line = text.substr(0, text.find('\n'));
  if (cancelled) {
    out.Reason = "the service stopped during the ride";
    return out;
  }
  if (timedOut) {
    judged = true;
    out.Reason = "the ride ran past its time limit (" + std::to_string(o.WallSeconds) + " s)";
    return out;
  }
  if (WIFSIGNALED(status)) {
    const int sig = WTERMSIG(status);
    judged = true;
    out.Reason =
        sig == SIGXCPU || sig == SIGKILL
            ? "the ride ran past its CPU limit (" + std::to_string(o.CpuSeconds) + " s)"
            : "the ride stopped on signal " + std::to_string(sig) + " (out of memory, or a fault)";
    return out;
  }
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (code == 0 && line == "verified score " + scoreText) {
    judged = true;
    out.Verified = true;
    out.Reason = line;
  } else if (code == 1 && line.starts_with("rejected: ")) {
    judged = true;
    out.Reason = line.substr(10);
  } else if (code == 0) {
    // A verdict that does not name the submitted score is not one.
    judged = true;
    out.Reason = "the verifier said \"" + line + "\"";
  } else {
    out.Reason =
        line.empty() ? "the verifier did not run (status " + std::to_string(code) + ")" : line;
  }
  return out;
}

TVerifyQueue::TVerifyQueue(IScoreStore& store, TVerifyOptions options)
    : store_(store), options_(std::move(options)) {}

TVerifyQueue::~TVerifyQueue() {
  Stop();
}

void TVerifyQueue::Start() {
  for (int i = 0; i < options_.Workers; ++i) workers_.emplace_back([this] { Work(); });
}

void TVerifyQueue::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : workers_) t.join();
  workers_.clear();
}

size_t TVerifyQueue::Waiting() {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

bool TVerifyQueue::Offer(const TPendingReplay& job) {
  {
    std::lock_guard lock(mutex_);
    if (held_.count(job.Id)) return true;
    if (queue_.size() >= options_.Capacity) {
      overflowed_ = true;
      return false;
    }
    queue_.push_back(job);
    held_.insert(job.Id);
  }
  wake_.notify_one();
  return true;
}

bool TVerifyQueue::Refill() {
  size_t want = 0;
  {
    std::lock_guard lock(mutex_);
    overflowed_ = false;
    // One more than fits: when it is there, more wait in the database than the queue took.
    want = options_.Capacity + held_.size() + 1;
  }
  std::vector<TPendingReplay> pending;
  try {
    pending = store_.PendingReplays(static_cast<int64_t>(want));
  } catch (const std::exception&) {
    // The database is away: look again in a while.
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, std::chrono::seconds(2), [this] { return stopping_.load(); });
    overflowed_ = true;
    return false;
  }
  std::lock_guard lock(mutex_);
  bool added = false;
  for (const TPendingReplay& p : pending) {
    if (held_.count(p.Id)) continue;
    if (queue_.size() >= options_.Capacity) {
      overflowed_ = true;
      break;
    }
    queue_.push_back(p);
    held_.insert(p.Id);
    added = true;
  }
  return added;
}

void TVerifyQueue::Work() {
  for (;;) {
    TPendingReplay job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty() || overflowed_; });
      if (stopping_) return;
      if (queue_.empty()) {
        lock.unlock();
        if (Refill()) wake_.notify_all();
        continue;
      }
      job = queue_.front();
      queue_.pop_front();
    }
    std::string bytes;
    bool judged = false;
    TVerifyOutcome outcome;
    try {
      if (!store_.ReplayData(job.Id, bytes)) {
        // Removed meanwhile: nothing to judge.
        std::lock_guard lock(mutex_);
        held_.erase(job.Id);
        continue;
      }
      outcome = RunVerifier(options_, bytes, job.Score, judged, &stopping_);
      if (judged) store_.SetVerdict(job.Id, outcome.Verified, outcome.Reason);
    } catch (const std::exception& e) {
      outcome.Reason = e.what();
      judged = false;
    }
    if (!options_.Quiet)
      std::fprintf(stderr, "zapwheely-scores: replay of result %lld %s: %s\n",
                   static_cast<long long>(job.Id),
                   !judged            ? "not judged"
                   : outcome.Verified ? "verified"
                                      : "rejected",
                   outcome.Reason.c_str());
    std::lock_guard lock(mutex_);
    // A replay that could not be judged (the verifier or the database failed) stays pending and
    // held until the next start, rather than being tried again and again.
    if (judged || stopping_) held_.erase(job.Id);
  }
}

}  // namespace zw::scores
