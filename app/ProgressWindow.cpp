#include "app/ProgressWindow.h"

#include <string>

#include "app/DialogFont.h"
#include "app/Trace.h"
#include "platform/ProgressText.h"

namespace velmira::app {
namespace {

std::string RectText(const wxRect& r) {
  return std::to_string(r.x) + " " + std::to_string(r.y) + " " +
         std::to_string(r.width) + " " + std::to_string(r.height);
}

}  // namespace

ProgressWindow::ProgressWindow(wxWindow* owner,
                               platform::SharedJobState& state,
                               std::function<void()> onGone)
    : state_(state), onGone_(std::move(onGone)) {
  // Pop-up with caption and close box, no resize border; placed at the
  // owner's client origin, not centred.
  Create(owner, wxID_ANY, "Dialog", wxDefaultPosition, wxDefaultSize,
         wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
  SetFont(DialogFont(8));
  SetClientSize(ConvertDialogToPixels(wxSize(186, 60)));

  // Empty until the first refresh; it keeps its rectangle whatever it says.
  text_ = new wxStaticText(this, wxID_ANY, wxString(),
                           ConvertDialogToPixels(wxPoint(7, 7)),
                           ConvertDialogToPixels(wxSize(150, 12)),
                           wxST_NO_AUTORESIZE | wxALIGN_LEFT);
  cancel_ = new wxButton(this, platform::kProgressCancelButton,
                         wxString::FromUTF8("キャンセル"),
                         ConvertDialogToPixels(wxPoint(129, 33)),
                         ConvertDialogToPixels(wxSize(50, 20)));

  Bind(wxEVT_BUTTON, &ProgressWindow::OnCommand, this);
  Bind(wxEVT_MENU, &ProgressWindow::OnCommand, this);
  Bind(wxEVT_CLOSE_WINDOW, &ProgressWindow::OnCloseBox, this);

  // Placed by explicit moves, not by the creation position: the toolkit
  // would otherwise centre an owned window over its owner, and wx skips a
  // move to where it believes the window already is.
  const wxPoint origin = owner->ClientToScreen(wxPoint(0, 0));
  Move(origin + wxPoint(1, 1));
  Move(origin);
  Show();
  Raise();
  cancel_->SetFocus();
  TraceLine("progress created");
}

ProgressWindow::~ProgressWindow() {
  // Destroyed without DestroyWindow (with its owner): still a destruction.
  MarkGone();
}

void ProgressWindow::RefreshProgressText() {
  if (gone_) return;
  const std::string text = platform::ProgressText(state_.progressPercent);
  text_->SetLabel(wxString::FromUTF8(text));
  if (!placeTraced_ && TraceEnabled()) {
    // On screen by now: where the window and its button are.
    placeTraced_ = true;
    TraceLine("progress window " + RectText(GetScreenRect()));
    TraceLine("progress cancel " +
              RectText(wxRect(ClientToScreen(cancel_->GetPosition()),
                              cancel_->GetSize())));
  }
  TraceLine("progress text " + text);
}

void ProgressWindow::DestroyWindow() {
  if (gone_) return;
  MarkGone();
  Hide();
  Destroy();
}

void ProgressWindow::OnCommand(wxCommandEvent&) {
  // キャンセル, or any other command: the job is to stop.
  state_.cancelRequested = 1;
  DestroyWindow();
}

void ProgressWindow::OnCloseBox(wxCloseEvent&) {
  state_.cancelRequested = 1;
  DestroyWindow();
}

void ProgressWindow::MarkGone() {
  if (gone_) return;
  gone_ = true;
  platform::OnProgressWindowDestroyed(state_);
  TraceLine("progress destroyed");
  if (onGone_) onGone_();
}

}  // namespace velmira::app
