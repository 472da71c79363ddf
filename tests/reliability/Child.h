// Real child processes for the reliability tests: velmira-cli (or a shell)
// started with a lowered address-space limit, without root's privileges,
// with its stderr in a file, signalled and waited for with a deadline.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velmira::reliability {

// Built by CMake next to this suite.
std::string CliPath();
std::string MakeSamplePath();

struct ChildOptions {
  std::optional<uint64_t> addressSpaceLimit;  // RLIMIT_AS, in bytes
  bool unprivileged = false;  // as nobody (65534) when run as root
  std::string workingDirectory;
  bool stderrUnread = false;  // stderr a pipe whose reader has gone

  static ChildOptions Unprivileged() {
    ChildOptions o;
    o.unprivileged = true;
    return o;
  }
  static ChildOptions AddressSpace(uint64_t bytes) {
    ChildOptions o;
    o.addressSpaceLimit = bytes;
    return o;
  }
};

struct ChildResult {
  bool exited = false;     // ended by exit(), not by a signal
  int status = -1;         // its exit status
  int signal = 0;          // the signal that ended it, if one did
  bool timedOut = false;   // killed after the deadline
  std::string stderrText;
};

class Child {
 public:
  Child(const std::vector<std::string>& argv, const ChildOptions& options = {});
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }
  void Signal(int sig) const;
  // Waits until the process catches sig (its handler is installed), or
  // it has ended, or the deadline passed; true when it catches sig.
  bool WaitUntilCatching(int sig, int timeoutMs) const;
  ChildResult Wait(int timeoutMs = 60000);

 private:
  pid_t pid_ = -1;
  std::string stderrPath_;
  bool waited_ = false;
};

// Runs argv to its end.
ChildResult RunChild(const std::vector<std::string>& argv,
                const ChildOptions& options = {}, int timeoutMs = 60000);

// Runs fn in a forked child without root's privileges (nobody, when run as
// root) and returns its exit status; -1 if it died. fn returns the status.
int RunUnprivileged(const std::function<int()>& fn);

// Whether the sanitizers' shadow memory rules out an address-space limit.
bool UnderAddressSanitizer();

// A device that answers every write with "no space left", as /dev/full:
// as root a private node of it, so that a faulty replace can only ever
// damage that one; otherwise a link to /dev/full, which an ordinary user
// cannot replace.
void MakeFullDevice(const std::string& path);

// Makes a file or folder usable by the unprivileged child.
void GiveToUnprivileged(const std::string& path);

}  // namespace velmira::reliability
