// The desktop program's platform::Host: the batch driver's view of the main
// dialog, its message boxes, the progress window and the wx event loop.
//
//   WxHost host(dialog, session.state);
//   RunConversion(host, session);   // from the 変換 button's handler
//
// The pump is the wx event loop that is running the main dialog, entered
// again one event at a time: PeekMessage asks whether an event waits (a
// toolkit event, a queued wx event or a quit request), PumpMessage handles
// one. Quit requests come last, after everything else that waits, and are
// kept until the 変換 handler has returned.
#pragma once

#include <cstdint>

#include "platform/Host.h"

namespace velmira::app {

class CSequenceDlg;
class ProgressWindow;

class WxHost final : public platform::Host {
 public:
  WxHost(CSequenceDlg& dialog, platform::SharedJobState& state);

  std::string ControlText(int controlId) override;
  bool IsChecked(int controlId) override;
  void ShowMessage(std::string_view text, std::string_view caption,
                   unsigned flags) override;
  platform::WindowHandle CreateProgressWindow() override;
  void RefreshProgressWindow(platform::WindowHandle window,
                             const platform::ProgressPoint& point) override;
  void DestroyProgressWindow(platform::WindowHandle window) override;
  bool PeekMessage() override;
  bool PumpMessage() override;
  void PostQuitMessage() override;
  int32_t Clock() override;

  // Takes a waiting quit request, if any.
  bool TakeQuitMessage();

 private:
  CSequenceDlg& dialog_;
  platform::SharedJobState& state_;
  ProgressWindow* live_ = nullptr;  // the progress window, while it exists
  bool quitPosted_ = false;
  int dispatchedThisPump_ = 0;
};

}  // namespace velmira::app
