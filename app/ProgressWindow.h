// The progress window: a small modeless window owned by the main dialog that
// shows how far pass 2 has come and offers キャンセル.
//
// It talks to the job only through the shared flags: a refresh reads
// progressPercent; its キャンセル, its close box and any other command ask
// the job to stop and take the window away; and every destruction, whoever
// asked for it, clears progressWindow (OnProgressWindowDestroyed). It reacts
// only while the job pumps.
#pragma once

#include <functional>

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/stattext.h>

#include "platform/Host.h"

namespace velmira::app {

class ProgressWindow final : public wxDialog {
 public:
  // Creates and shows the window at its owner's client origin. onGone runs
  // once, when the window is destroyed.
  ProgressWindow(wxWindow* owner, platform::SharedJobState& state,
                 std::function<void()> onGone);
  ~ProgressWindow() override;

  // The refresh command: shows progressPercent as 進行度NN.NNNN%.
  void RefreshProgressText();

  // Destroys the window: it disappears at once; the object itself goes when
  // the toolkit next idles. Safe to call more than once.
  void DestroyWindow();

  bool Gone() const { return gone_; }

 private:
  void OnCommand(wxCommandEvent& event);
  void OnCloseBox(wxCloseEvent& event);
  void MarkGone();

  platform::SharedJobState& state_;
  std::function<void()> onGone_;
  wxStaticText* text_ = nullptr;
  wxButton* cancel_ = nullptr;
  bool gone_ = false;
  bool placeTraced_ = false;
};

}  // namespace velmira::app
