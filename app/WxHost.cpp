#include "app/WxHost.h"

#include <chrono>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/msgdlg.h>
#include <wx/generic/msgdlgg.h>

#include "app/ProgressWindow.h"
#include "app/SequenceDlg.h"
#include "app/Trace.h"

namespace velmira::app {
namespace {

// The run-time clock counts from program start-up.
const std::chrono::steady_clock::time_point kProgramStart =
    std::chrono::steady_clock::now();

// One pump hands at most this many events to the toolkit before the job
// goes on, so that a source that is always ready cannot hold the job.
constexpr int kMaxDispatchesPerPump = 5000;

ProgressWindow* WindowOf(platform::WindowHandle handle) {
  return reinterpret_cast<ProgressWindow*>(handle);
}

std::string FlagsText(unsigned flags) {
  return flags == platform::kWarningBox ? "0x30" : "0x00";
}

// Shows a message box; it takes the keyboard as soon as it is up, so that
// Enter or Space closes it without reaching for the mouse.
template <typename Box>
void RunBox(Box& box) {
  box.CallAfter([&box] { box.Raise(); });
  box.ShowModal();
}

}  // namespace

WxHost::WxHost(CSequenceDlg& dialog, platform::SharedJobState& state)
    : dialog_(dialog), state_(state) {}

std::string WxHost::ControlText(int controlId) {
  return dialog_.ControlValue(controlId).utf8_string();
}

bool WxHost::IsChecked(int controlId) { return dialog_.Checked(controlId); }

void WxHost::ShowMessage(std::string_view text, std::string_view caption,
                         unsigned flags) {
  const wxString message = wxString::FromUTF8(text.data(), text.size());
  const wxString title = wxString::FromUTF8(caption.data(), caption.size());
  TraceLine("box " + FlagsText(flags) + " " + std::string(caption) + " " +
            std::string(text));
  if (flags == platform::kWarningBox) {
    // wx's own box for the warning: the native one of GTK 3 has no icons.
    wxGenericMessageDialog box(&dialog_, message, title,
                               wxOK | wxICON_WARNING);
    RunBox(box);
  } else {
    wxMessageDialog box(&dialog_, message, title, wxOK | wxICON_NONE);
    RunBox(box);
  }
  TraceLine("box closed");
  dialog_.RestoreFocus();
}

platform::WindowHandle WxHost::CreateProgressWindow() {
  if (live_ != nullptr) live_->DestroyWindow();
  dialog_.RememberFocus();
  live_ = new ProgressWindow(&dialog_, state_, [this] {
    live_ = nullptr;
    dialog_.RestoreFocus();
  });
  return reinterpret_cast<platform::WindowHandle>(live_);
}

void WxHost::RefreshProgressWindow(platform::WindowHandle window,
                                   const platform::ProgressPoint&) {
  if (window != nullptr && WindowOf(window) == live_) {
    live_->RefreshProgressText();
  }
}

void WxHost::DestroyProgressWindow(platform::WindowHandle window) {
  if (window != nullptr && WindowOf(window) == live_) live_->DestroyWindow();
}

bool WxHost::PeekMessage() {
  if (dispatchedThisPump_ >= kMaxDispatchesPerPump) return false;
  if (quitPosted_) return true;
  if (wxTheApp != nullptr && wxTheApp->HasPendingEvents()) return true;
  wxEventLoopBase* loop = wxEventLoopBase::GetActive();
  return loop != nullptr && loop->Pending();
}

bool WxHost::PumpMessage() {
  ++dispatchedThisPump_;
  wxEventLoopBase* loop = wxEventLoopBase::GetActive();
  if (loop != nullptr && loop->Pending()) {
    // Input, painting, the toolkit's own timers, signals.
    loop->Dispatch();
    return true;
  }
  if (wxTheApp != nullptr && wxTheApp->HasPendingEvents()) {
    // Events queued by wx itself (CallAfter, QueueEvent).
    wxTheApp->ProcessPendingEvents();
    return true;
  }
  if (quitPosted_) {
    quitPosted_ = false;
    TraceLine("quit taken");
    return false;
  }
  return true;
}

void WxHost::PostQuitMessage() {
  if (!quitPosted_) TraceLine("quit posted");
  quitPosted_ = true;
  wxWakeUpIdle();
}

int32_t WxHost::Clock() {
  // The driver reads the clock right after every pump: a new pump begins.
  dispatchedThisPump_ = 0;
  return static_cast<int32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::steady_clock::now() - kProgramStart)
          .count());
}

bool WxHost::TakeQuitMessage() {
  const bool posted = quitPosted_;
  quitPosted_ = false;
  return posted;
}

}  // namespace velmira::app
