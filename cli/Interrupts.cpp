#include "cli/Interrupts.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace velmira::cli {
namespace {

constexpr int kSlots = 128;
constexpr size_t kPathMax = 4096;

// 0 free, 1 being filled or emptied, 2 holds a live name.
std::atomic<int> slotState[kSlots];
char slotPath[kSlots][kPathMax];
std::atomic<int> interrupts{0};

constexpr char kCancelledLine[] = "中止しました\n";

extern "C" void OnInterrupt(int) {
  if (interrupts.fetch_add(1) + 1 < 2) return;
  // The second request: remove what is being written, and go.
  for (int i = 0; i < kSlots; ++i) {
    if (slotState[i].load() == 2) ::unlink(slotPath[i]);
  }
  const ssize_t ignored = ::write(2, kCancelledLine, sizeof kCancelledLine - 1);
  (void)ignored;
  ::_exit(130);
}

}  // namespace

void InstallInterruptHandlers() {
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  // One handler at a time: a SIGTERM landing inside the SIGINT handler waits
  // for it to return (or to end the process).
  sigemptyset(&sa.sa_mask);
  sigaddset(&sa.sa_mask, SIGINT);
  sigaddset(&sa.sa_mask, SIGTERM);
  sa.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
  // A reader of stderr that went away must not end the job halfway: the
  // message is lost, the outputs are not.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGPIPE, &ignore, nullptr);
}

int InterruptCount() { return interrupts.load(); }

void SignalSafeTempTable::TempCreated(const std::string& path) {
  if (path.size() >= kPathMax) return;
  for (int i = 0; i < kSlots; ++i) {
    int expected = 0;
    if (slotState[i].compare_exchange_strong(expected, 1)) {
      std::memcpy(slotPath[i], path.c_str(), path.size() + 1);
      slotState[i].store(2);
      return;
    }
  }
}

void SignalSafeTempTable::TempGone(const std::string& path) {
  for (int i = 0; i < kSlots; ++i) {
    int expected = 2;
    // Only a live slot's name is stable enough to compare.
    if (slotState[i].load() == 2 &&
        std::strcmp(slotPath[i], path.c_str()) == 0 &&
        slotState[i].compare_exchange_strong(expected, 1)) {
      slotPath[i][0] = '\0';
      slotState[i].store(0);
      return;
    }
  }
}

SignalSafeTempTable& TempTable() {
  static SignalSafeTempTable table;
  return table;
}

}  // namespace velmira::cli
