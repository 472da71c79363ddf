#include "platform/HeadlessHost.h"

#include <algorithm>

#include "platform/ProgressText.h"

namespace velmira::platform {
namespace {

// The one window handle a headless progress window has.
WindowHandle TheWindow() {
  static int token;
  return reinterpret_cast<WindowHandle>(&token);
}

const std::vector<std::vector<int>>& Groups() {
  static const std::vector<std::vector<int>> groups = {
      {kIntermediateOff, kIntermediateOn},
      {kModeA, kModeB, kModeC, kModeD},
      {kThreshold0, kThreshold1, kThreshold2, kThreshold4}};
  return groups;
}

}  // namespace

HeadlessHost::HeadlessHost(SharedJobState& state) : state_(state) {
  texts = {{kPathBox, ""}, {kStartBox, "0"}, {kEndBox, "0"}, {kOffsetBox, "0"}};
  checked = {kIntermediateOn, kModeA, kThreshold1};
}

void HeadlessHost::Check(int id) {
  for (const auto& group : Groups()) {
    for (int member : group) {
      if (member == id) {
        for (int other : group) checked.erase(other);
      }
    }
  }
  checked.insert(id);
}

std::string HeadlessHost::ControlText(int controlId) {
  return texts[controlId];
}

bool HeadlessHost::IsChecked(int controlId) {
  return checked.count(controlId) != 0;
}

void HeadlessHost::ShowMessage(std::string_view text, std::string_view caption,
                               unsigned flags) {
  boxes.push_back(Box{std::string(text), std::string(caption), flags,
                    windowAlive, state_.busyFlag});
}

WindowHandle HeadlessHost::CreateProgressWindow() {
  if (failProgressWindowCreation) return nullptr;
  ++windowsCreated;
  windowAlive = true;
  return TheWindow();
}

void HeadlessHost::RefreshProgressWindow(WindowHandle window,
                                         const ProgressPoint& point) {
  if (window == TheWindow() && windowAlive) {
    progressTexts.push_back(ProgressText(state_.progressPercent));
    progressPoints.push_back(point);
  }
}

void HeadlessHost::DestroyProgressWindow(WindowHandle window) {
  if (window != TheWindow() || !windowAlive) return;
  windowAlive = false;
  OnProgressWindowDestroyed(state_);
}

bool HeadlessHost::PeekMessage() {
  if (!inPump_) {
    inPump_ = true;
    ++pumps;
    if (auto it = eventsAtPump.find(pumps); it != eventsAtPump.end()) {
      queue_.insert(queue_.end(), it->second.begin(), it->second.end());
    }
  }
  return !queue_.empty() || quitPending;
}

bool HeadlessHost::PumpMessage() {
  if (queue_.empty()) {
    if (quitPending) {
      quitPending = false;
      return false;
    }
    return true;
  }
  const Event e = queue_.front();
  queue_.pop_front();
  if (e == Event::kQuit) return false;
  Dispatch(e);
  return true;
}

void HeadlessHost::PostQuitMessage() { quitPending = true; }

int32_t HeadlessHost::Clock() {
  inPump_ = false;
  const size_t i = std::min(clockCalls, clockScript.size() - 1);
  ++clockCalls;
  return clockScript[i];
}

void HeadlessHost::Dispatch(Event e) {
  switch (e) {
    case Event::kClickCancel:
    case Event::kCloseProgress:
    case Event::kOtherCommand:
      // The window asks for the stop and destroys itself.
      if (windowAlive) {
        state_.cancelRequested = 1;
        DestroyProgressWindow(TheWindow());
      }
      break;
    case Event::kClickExit:
      if (state_.busyFlag != 0) {
        CancelStep(*this, state_);
      } else {
        dialogEnded = true;
      }
      break;
    case Event::kCloseDialog:
      CancelStep(*this, state_);
      dialogEnded = true;
      break;
    case Event::kDestroyDialog:
      CancelStep(*this, state_);
      break;
    case Event::kClickConvert:
      if (onConvert) onConvert();
      break;
    case Event::kQuit:
      break;
  }
}

}  // namespace velmira::platform
