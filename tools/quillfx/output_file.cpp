#include "tools/quillfx/output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>

namespace quill {

namespace {

// The temporary files open in this process, where a signal handler can read
// them without locks or allocation. Each slot's word holds a state in its
// low two bits and a generation above them: the handler copies a path, then
// checks that the word did not change while it copied, so that it never
// removes a path that a thread was rewriting at that moment.
constexpr int kSlots = 64;
constexpr std::uint32_t kFree = 0, kFilling = 1, kArmed = 2;

struct Slot {
  std::atomic<std::uint32_t> word{0};
  char path[PATH_MAX];
};
static_assert(std::atomic<std::uint32_t>::is_always_lock_free, "the signal handler reads the slots");

Slot gSlots[kSlots];

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// A slot for `path`, or -1 when the table is full or the path too long: the
// file is then written all the same, only a fatal signal would leave it.
int Claim(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  for (int i = 0; i < kSlots; ++i) {
    std::uint32_t w = gSlots[i].word.load(std::memory_order_relaxed);
    if ((w & 3u) != kFree) continue;
    const std::uint32_t generation = (w >> 2) + 1;
    if (!gSlots[i].word.compare_exchange_strong(w, generation << 2 | kFilling, std::memory_order_acquire)) continue;
    std::memcpy(gSlots[i].path, path.c_str(), path.size() + 1);
    gSlots[i].word.store(generation << 2 | kArmed, std::memory_order_release);
    return i;
  }
  return -1;
}

void Release(int slot) {
  if (slot < 0) return;
  const std::uint32_t w = gSlots[slot].word.load(std::memory_order_relaxed);
  gSlots[slot].word.store(w & ~3u, std::memory_order_release);
}

extern "C" void RemoveTemporariesAndDie(int sig) {
  const int savedErrno = errno;
  char path[PATH_MAX];
  for (Slot& slot : gSlots) {
    const std::uint32_t before = slot.word.load(std::memory_order_acquire);
    if ((before & 3u) != kArmed) continue;
    std::memcpy(path, slot.path, sizeof path);
    path[PATH_MAX - 1] = '\0';
    if (slot.word.load(std::memory_order_acquire) == before) unlink(path);
  }
  // End the way the signal would have ended the process, so that a parent
  // (a shell, make) sees the interruption: the default action, delivered
  // when the handler returns and the signal is unblocked.
  signal(sig, SIG_DFL);
  raise(sig);
  errno = savedErrno;
}

// Blocks the cleanup signals for the calling thread over a scope, so that
// a temporary file never exists without its slot.
class BlockCleanupSignals {
 public:
  BlockCleanupSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kCleanupSignals) sigaddset(&set, sig);
    pthread_sigmask(SIG_BLOCK, &set, &previous_);
  }
  ~BlockCleanupSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

 private:
  sigset_t previous_;
};

// The mode a new file gets: umask() cannot be read without setting it, which
// would race with other threads creating files.
mode_t NewFileMode() {
  mode_t mask = 022;
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("Umask:", 0) == 0) {
      mask = static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
      break;
    }
  return 0666 & ~mask;
}

std::string SystemError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

bool OutputFile::Create(const std::string& target, std::string& error) {
  Abandon();
  target_ = target;
  struct stat st;
  mode_t mode = 0;
  if (lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    // Replace the file the link points to, not the link.
    char resolved[PATH_MAX];
    if (realpath(target.c_str(), resolved) != nullptr) target_ = resolved;
  }
  if (stat(target_.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      error = target + " exists and is not a regular file";
      return false;
    }
    mode = st.st_mode & 07777;
  } else {
    mode = NewFileMode();
  }
  const std::size_t slash = target_.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
  std::string pattern = folder + "." + name + ".quillfx-XXXXXX";

  const BlockCleanupSignals blocked;
  fd_ = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd_ < 0) {
    error = SystemError("cannot write", target);
    return false;
  }
  temp_ = pattern;
  slot_ = Claim(temp_);
  if (fchmod(fd_, mode) != 0) {
    error = SystemError("cannot set the permissions of", temp_);
    Abandon();
    return false;
  }
  return true;
}

bool OutputFile::Commit(std::string& error) {
  if (fd_ < 0) {
    error = "no output file is open";
    return false;
  }
  // Errors of delayed writes (a full disk, a network folder) show at close.
  const int rc = close(fd_);
  fd_ = -1;
  if (rc != 0) {
    error = SystemError("finishing", target_);
    Abandon();
    return false;
  }
  if (rename(temp_.c_str(), target_.c_str()) != 0) {
    error = SystemError("cannot replace", target_);
    Abandon();
    return false;
  }
  Release(slot_);
  slot_ = -1;
  temp_.clear();
  return true;
}

void OutputFile::Abandon() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
  Release(slot_);
  slot_ = -1;
}

void InstallSignalCleanup() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int sig : kCleanupSignals) {
      struct sigaction now;
      if (sigaction(sig, nullptr, &now) != 0 || now.sa_handler != SIG_DFL) continue;
      struct sigaction action {};
      action.sa_handler = RemoveTemporariesAndDie;
      sigemptyset(&action.sa_mask);
      for (int other : kCleanupSignals) sigaddset(&action.sa_mask, other);
      sigaction(sig, &action, nullptr);
    }
  });
}

}  // namespace quill
