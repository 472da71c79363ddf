#include "Child.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace velmira::reliability {
namespace {

constexpr uid_t kNobody = 65534;

// In the child, before anything else: give up root for nobody.
bool DropPrivileges() {
  if (::geteuid() != 0) return true;
  return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 &&
         ::setuid(kNobody) == 0;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

std::string CliPath() { return VELMIRA_CLI_PATH; }
std::string MakeSamplePath() { return VELMIRA_MAKE_SAMPLE_PATH; }

bool UnderAddressSanitizer() {
#if defined(__SANITIZE_ADDRESS__)
  return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  return true;
#else
  return false;
#endif
#else
  return false;
#endif
}

void MakeFullDevice(const std::string& path) {
  const int made = ::geteuid() == 0
                       ? ::mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 7))
                       : ::symlink("/dev/full", path.c_str());
  if (made != 0) throw std::runtime_error("cannot make " + path);
}

void GiveToUnprivileged(const std::string& path) {
  if (::geteuid() == 0 && ::chown(path.c_str(), kNobody, kNobody) != 0) {
    throw std::runtime_error("chown " + path);
  }
}

Child::Child(const std::vector<std::string>& argv, const ChildOptions& options) {
  char pattern[] = "/tmp/velmira-stderr-XXXXXX";
  const int err = ::mkstemp(pattern);
  if (err < 0) throw std::runtime_error("mkstemp");
  stderrPath_ = pattern;
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork");
  if (pid_ == 0) {
    ::dup2(err, STDERR_FILENO);
    int ends[2];
    if (options.stderrUnread && ::pipe(ends) == 0) {
      ::close(ends[0]);
      ::dup2(ends[1], STDERR_FILENO);
    }
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, STDIN_FILENO);
    ::dup2(null, STDOUT_FILENO);
    // A clean slate: the test runner's own signal settings are not ours.
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGPIPE, SIG_DFL);
    if (!options.workingDirectory.empty() &&
        ::chdir(options.workingDirectory.c_str()) != 0) {
      ::_exit(120);
    }
    if (options.addressSpaceLimit) {
      const rlimit limit{*options.addressSpaceLimit, *options.addressSpaceLimit};
      if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(121);
    }
    if (options.unprivileged && !DropPrivileges()) ::_exit(122);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(err);
}

Child::~Child() {
  if (!waited_ && pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  ::unlink(stderrPath_.c_str());
}

void Child::Signal(int sig) const { ::kill(pid_, sig); }

bool Child::WaitUntilCatching(int sig, int timeoutMs) const {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  const std::string status = "/proc/" + std::to_string(pid_) + "/status";
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream in(status);
    if (!in.is_open()) return false;  // gone
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind("State:", 0) == 0 && line.find('Z') != std::string::npos) {
        return false;  // ended without catching it
      }
      if (line.rfind("SigCgt:", 0) == 0) {
        const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
        if (mask & (1ull << (sig - 1))) return true;
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return false;
}

ChildResult Child::Wait(int timeoutMs) {
  ChildResult r;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) break;
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      r.timedOut = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  waited_ = true;
  r.exited = WIFEXITED(status);
  r.status = r.exited ? WEXITSTATUS(status) : -1;
  r.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  r.stderrText = ReadAll(stderrPath_);
  return r;
}

ChildResult RunChild(const std::vector<std::string>& argv,
                const ChildOptions& options, int timeoutMs) {
  Child child(argv, options);
  return child.Wait(timeoutMs);
}

int RunUnprivileged(const std::function<int()>& fn) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!DropPrivileges()) ::_exit(122);
    ::_exit(fn());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace velmira::reliability
