#include "platform/ProgressText.h"

#include <cstdint>

#include "platform/Host.h"

namespace velmira::platform {

std::string ProgressText(double progressPercent) {
  const auto whole = static_cast<int32_t>(progressPercent);
  const auto fraction =
      static_cast<int32_t>((progressPercent - whole) * 10000.0);
  return "進行度" + std::to_string(whole) + "." +
         std::to_string(fraction + 10000).substr(1) + "%";
}

void CancelStep(Host& host, SharedJobState& state) {
  if (state.busyFlag == 0) return;
  state.cancelRequested = 1;
  if (state.progressWindow != nullptr) {
    host.DestroyProgressWindow(state.progressWindow);
  }
  state.progressWindow = nullptr;
}

}  // namespace velmira::platform
