// The command line's host: the arguments stand in for the dialog's
// controls, message boxes become one line on stderr, the progress window is
// a progress bar on stderr (on a terminal, unless --quiet), and Ctrl-C is
// the キャンセル button, seen when the job pumps.
#pragma once

#include <chrono>
#include <string>

#include "cli/Arguments.h"
#include "platform/Host.h"

namespace velmira::cli {

class CliHost final : public platform::Host {
 public:
  CliHost(const Arguments& args, platform::SharedJobState& state,
          bool showBar);

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
  void PostQuitMessage() override {}
  int32_t Clock() override;
  bool InterruptedWhileLoading() override;

  // The exit status the job's message stands for.
  int ExitStatus() const { return exitStatus_; }

 private:
  void ClearBar();

  const Arguments& args_;
  platform::SharedJobState& state_;
  bool showBar_;
  bool barShown_ = false;
  bool windowAlive_ = false;
  int interruptsHandled_ = 0;
  int exitStatus_ = 1;
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point pass2Started_;
};

}  // namespace velmira::cli
