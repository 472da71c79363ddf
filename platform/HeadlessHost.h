// A host with no windows, for tests: the dialog's controls are a table, the
// message boxes a log, the clock a script, and what the user does while a
// job pumps (a click on キャンセル, Exit, the close box, a second 変換, a
// quit message) is a script of events by progress point.
//
//   Session session;
//   HeadlessHost host(session.state);
//   host.SetText(kPathBox, "/tmp/seq/a0000.bmp");
//   host.clockScript = {0, 101, 101, 202};          // last value repeats
//   host.eventsAtPump[1] = {HeadlessHost::Event::kClickCancel};
//   RunConversion(host, session);
//   host.boxes.back().text == "中止しました"
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Host.h"

namespace velmira::platform {

class HeadlessHost final : public Host {
 public:
  enum class Event {
    kClickCancel,         // the progress window's キャンセル
    kCloseProgress,       // the progress window's close box
    kOtherCommand,        // any other command to the progress window
    kClickExit,           // the main dialog's 終了
    kCloseDialog,         // the main dialog's close box
    kDestroyDialog,       // the main dialog destroyed
    kClickConvert,        // 変換 again
    kQuit,                // a quit message
  };

  struct Box {
    std::string text;
    std::string caption;
    unsigned flags;
    bool progressWindowAlive;  // whether a progress window existed then
    int32_t busyFlag;          // the flag while the box was open
  };

  explicit HeadlessHost(SharedJobState& state);

  // The dialog with the start values: "0" in the three number boxes, 使用,
  // A and 1 checked, the path box empty.
  void SetText(int id, std::string text) { texts[id] = std::move(text); }
  void Check(int id);  // checks id, unchecks the rest of its group

  // Host.
  std::string ControlText(int controlId) override;
  bool IsChecked(int controlId) override;
  void ShowMessage(std::string_view text, std::string_view caption,
                   unsigned flags) override;
  WindowHandle CreateProgressWindow() override;
  void RefreshProgressWindow(WindowHandle window,
                             const ProgressPoint& point) override;
  void DestroyProgressWindow(WindowHandle window) override;
  bool PeekMessage() override;
  bool PumpMessage() override;
  void PostQuitMessage() override;
  int32_t Clock() override;
  bool InterruptedWhileLoading() override { return interruptWhileLoading; }

  // Script.
  std::map<int, std::string> texts;
  std::set<int> checked;
  std::vector<int32_t> clockScript{0};  // returned in turn; the last repeats
  std::map<int, std::vector<Event>> eventsAtPump;  // by pump number, from 1
  std::function<void()> onConvert;                 // what 変換 runs
  bool failProgressWindowCreation = false;
  bool interruptWhileLoading = false;

  // Record.
  std::vector<Box> boxes;
  std::vector<std::string> progressTexts;  // one per refresh
  std::vector<ProgressPoint> progressPoints;
  int pumps = 0;               // progress points that pumped
  int windowsCreated = 0;
  bool windowAlive = false;
  bool quitPending = false;    // a quit message waits in the queue
  bool dialogEnded = false;    // Exit or close took effect when idle
  size_t clockCalls = 0;

 private:
  void Dispatch(Event e);

  SharedJobState& state_;
  std::deque<Event> queue_;
  bool inPump_ = false;
};

}  // namespace velmira::platform
