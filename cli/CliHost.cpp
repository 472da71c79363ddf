#include "cli/CliHost.h"

#include <cstdio>

#include "cli/Interrupts.h"
#include "job/Messages.h"

namespace velmira::cli {
namespace {

platform::WindowHandle TheBar() {
  static int token;
  return reinterpret_cast<platform::WindowHandle>(&token);
}

std::string MinutesSeconds(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  return text;
}

}  // namespace

CliHost::CliHost(const Arguments& args, platform::SharedJobState& state,
                 bool showBar)
    : args_(args), state_(state), showBar_(showBar) {}

std::string CliHost::ControlText(int controlId) {
  switch (controlId) {
    case platform::kPathBox:
      return args_.source;
    case platform::kStartBox:
      return std::to_string(args_.start);
    case platform::kEndBox:
      return std::to_string(args_.end.value_or(args_.start));
    case platform::kOffsetBox:
      return std::to_string(args_.offset);
    default:
      return {};
  }
}

bool CliHost::IsChecked(int id) {
  using namespace platform;
  switch (id) {
    case kIntermediateOff: return !args_.intermediate;
    case kIntermediateOn: return args_.intermediate;
    case kModeA: case kModeB: case kModeC: case kModeD:
      return id - kModeA == args_.mode;
    case kThreshold0: return args_.threshold == 0;
    case kThreshold1: return args_.threshold == 1;
    case kThreshold2: return args_.threshold == 2;
    case kThreshold4: return args_.threshold == 4;
    default: return false;
  }
}

void CliHost::ShowMessage(std::string_view text, std::string_view,
                          unsigned) {
  ClearBar();
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  std::fflush(stderr);
  if (text == messages::kFinished) {
    exitStatus_ = 0;
  } else if (text == messages::kCancelled) {
    exitStatus_ = 130;
  } else {
    exitStatus_ = 1;
  }
}

platform::WindowHandle CliHost::CreateProgressWindow() {
  pass2Started_ = std::chrono::steady_clock::now();
  windowAlive_ = true;
  return TheBar();
}

void CliHost::RefreshProgressWindow(platform::WindowHandle window,
                                    const platform::ProgressPoint& point) {
  if (window != TheBar() || !windowAlive_ || !showBar_) return;
  const double elapsed = std::chrono::duration<double>(
                             std::chrono::steady_clock::now() - pass2Started_)
                             .count();
  const double fps = elapsed > 0 ? point.framesWritten / elapsed : 0.0;
  const double left =
      fps > 0 ? (point.frameCount - point.framesWritten) / fps : 0.0;
  constexpr int kWidth = 30;
  const int filled = point.frameCount > 0
                         ? kWidth * point.framesWritten / point.frameCount
                         : 0;
  std::string bar(static_cast<size_t>(filled), '#');
  bar.resize(kWidth, '.');
  std::fprintf(stderr, "\r[%s] %6.2f%%  %d/%d frames  %.1f fps  %s left \033[K",
               bar.c_str(), state_.progressPercent, point.framesWritten,
               point.frameCount, fps, MinutesSeconds(left).c_str());
  std::fflush(stderr);
  barShown_ = true;
}

void CliHost::DestroyProgressWindow(platform::WindowHandle window) {
  if (window != TheBar() || !windowAlive_) return;
  windowAlive_ = false;
  ClearBar();
  platform::OnProgressWindowDestroyed(state_);
}

bool CliHost::PeekMessage() { return InterruptCount() > interruptsHandled_; }

bool CliHost::PumpMessage() {
  if (InterruptCount() > interruptsHandled_) {
    ++interruptsHandled_;
    // Like a click on キャンセル: ask for the stop and take the bar away.
    state_.cancelRequested = 1;
    DestroyProgressWindow(state_.progressWindow);
    state_.progressWindow = nullptr;
  }
  return true;
}

int32_t CliHost::Clock() {
  return static_cast<int32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::steady_clock::now() - started_)
          .count());
}

bool CliHost::InterruptedWhileLoading() {
  return InterruptCount() > interruptsHandled_;
}

void CliHost::ClearBar() {
  if (!barShown_) return;
  std::fprintf(stderr, "\r\033[K");
  barShown_ = false;
}

}  // namespace velmira::cli
