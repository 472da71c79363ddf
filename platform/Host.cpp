#include "platform/Host.h"

namespace velmira::platform {

void CancelStep(Host& host, SharedJobState& state) {
  if (state.busyFlag == 0) return;
  state.cancelRequested = 1;
  if (state.progressWindow != nullptr) {
    host.DestroyProgressWindow(state.progressWindow);
  }
  state.progressWindow = nullptr;
}

}  // namespace velmira::platform
