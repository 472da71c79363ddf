// The seam between the batch driver and whatever front end runs it.
//
// The driver (job/BatchDriver) never talks to a toolkit. It reads the main
// dialog's controls by id, shows message boxes, creates, refreshes and
// destroys one modeless progress window, pumps waiting messages between
// frames and reads a millisecond clock, all through this interface. Three
// front ends implement it: the desktop program (app/), the command line
// (cli/) and a scriptable headless host for tests (platform/HeadlessHost).
//
// Usage:
//   SharedJobState& s = session.state;          // flags both sides touch
//   MyHost host(s);                             // implements Host
//   RunConversion(host, session);               // the 変換 handler
//
// Every front end gets the same bytes for the same settings: the host only
// supplies control texts and reacts to progress; it never touches frames.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmira::platform {

// Control ids of the main dialog.
enum ControlId : int {
  kPathBox = 1000,
  kBrowseButton = 1001,
  kConvertButton = 1002,
  kExitButton = 1003,
  kStartBox = 1004,
  kEndBox = 1005,
  kOffsetBox = 1006,
  kIntermediateOff = 1007,
  kIntermediateOn = 1008,
  kModeA = 1009,
  kModeB = 1010,
  kModeC = 1011,
  kModeD = 1012,
  kThreshold0 = 1013,
  kThreshold1 = 1014,
  kThreshold2 = 1015,
  kThreshold4 = 1016,
  kProgressCancelButton = 1001,  // inside the progress window
};

// Message box flags: a warning icon with an OK button, or a plain OK box.
inline constexpr unsigned kWarningBox = 0x30;
inline constexpr unsigned kPlainBox = 0x00;

// Every message box of a job is captioned with the program's name.
inline constexpr std::string_view kCaption = "Velmira";

// An opaque handle of a live progress window; null when none exists.
struct ProgressWindowTag;
using WindowHandle = ProgressWindowTag*;

// The program-wide values through which the dialog, the progress window and
// the running job talk to each other. They live as long as the program (in
// the session) and need no lock: everything touching them runs on the one
// thread that pumps.
struct SharedJobState {
  int32_t busyFlag = 0;
  int32_t cancelRequested = 0;
  double progressPercent = 0.0;
  WindowHandle progressWindow = nullptr;
};

// What the driver knows at a progress point besides the percentage, for
// front ends that show more than the percentage (the command line's bar).
struct ProgressPoint {
  int32_t framesWritten = 0;  // frames with both files on disk
  int32_t frameCount = 0;     // frames of the job
};

class Host {
 public:
  virtual ~Host() = default;

  // The main dialog's controls. Texts are UTF-8.
  virtual std::string ControlText(int controlId) = 0;
  virtual bool IsChecked(int controlId) = 0;

  // A message box owned by the main dialog; returns when it is closed.
  // Texts are UTF-8; flags are kWarningBox or kPlainBox.
  virtual void ShowMessage(std::string_view text, std::string_view caption,
                           unsigned flags) = 0;

  // The modeless progress window. Creation may fail (null). Whoever destroys
  // the window — the driver, the window itself, the main dialog — the window
  // sets state.cancelRequested and clears state.progressWindow as it goes.
  virtual WindowHandle CreateProgressWindow() = 0;
  // The refresh command: show state.progressPercent now.
  virtual void RefreshProgressWindow(WindowHandle window,
                                     const ProgressPoint& point) = 0;
  virtual void DestroyProgressWindow(WindowHandle window) = 0;

  // The message pump. PeekMessage: is a message waiting? PumpMessage: take
  // and dispatch one; false when the message taken was the quit message.
  virtual bool PeekMessage() = 0;
  virtual bool PumpMessage() = 0;
  virtual void PostQuitMessage() = 0;

  // Run-time clock: wall-clock milliseconds since the program started.
  virtual int32_t Clock() = 0;

  // A request to stop that arrived while the range was loading (Ctrl-C on
  // the command line). The desktop program has none: it pumps nothing while
  // loading.
  virtual bool InterruptedWhileLoading() { return false; }
};

// The cancel step shared by the main dialog's Exit button, its close and its
// destruction: only while a job runs, ask it to stop and take the progress
// window away at once.
void CancelStep(Host& host, SharedJobState& state);

// What every progress window does when it is destroyed, whoever asked.
inline void OnProgressWindowDestroyed(SharedJobState& state) {
  state.cancelRequested = 1;
  state.progressWindow = nullptr;
}

}  // namespace velmira::platform
