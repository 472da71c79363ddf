// CSequenceDlg, the main dialog: the path of one frame file, the start, end
// and offset numbers, the three option groups, and 参照, 変換 and 終了.
//
// 変換 runs the batch driver on the spot (RunConversion); while the job
// pumps, this dialog's handlers run nested inside it. 終了, the close box and
// the dialog's destruction then cancel the job (CancelStep) instead of
// ending the program; a close during a job ends the program once the job
// has returned.
#pragma once

#include <vector>

#include <wx/dialog.h>
#include <wx/evtloop.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>

#include "app/WxHost.h"
#include "job/BatchDriver.h"

namespace velmira::app {

class CSequenceDlg final : public wxDialog {
 public:
  explicit CSequenceDlg(Session& session);
  ~CSequenceDlg() override;

  // Shows the dialog and handles its events until it ends; returns
  // wxID_OK (終了) or wxID_CANCEL (closed).
  int RunDialog();

  // What the job reads of the controls.
  wxString ControlValue(int controlId) const;
  bool Checked(int controlId) const;

  // A quit request from outside (a termination signal): ends the dialog at
  // once when no 変換 handler runs, otherwise once it has returned.
  void RequestQuit();

  // Keyboard focus: remembered when another window takes it, given back
  // when that window goes (message boxes, the progress window).
  void RememberFocus();
  void RestoreFocus();

 private:
  struct TemplateItem {
    wxWindow* window;
    bool tabStop;
  };

  void CreateControls();
  void OnInitDialog();

  void OnBrowse(wxCommandEvent& event);
  void OnConvert(wxCommandEvent& event);
  void OnExit(wxCommandEvent& event);
  void OnClose(wxCloseEvent& event);
  void OnDestroy(wxWindowDestroyEvent& event);
  void OnCharHook(wxKeyEvent& event);
  void OnChildFocus(wxChildFocusEvent& event);

  // Ends the dialog with code now, or after the running 変換 handler.
  void EndDialog(int code);
  void MoveTabFocus(bool forward);
  void TraceReady();
  void TraceValues() const;

  Session& session_;
  WxHost host_;
  std::vector<TemplateItem> items_;  // all controls, in tab order
  wxTextCtrl* pathBox_ = nullptr;
  wxTextCtrl* startBox_ = nullptr;
  wxTextCtrl* endBox_ = nullptr;
  wxTextCtrl* offsetBox_ = nullptr;
  wxRadioButton* options_[10] = {};  // 1007 to 1016
  wxWindow* lastFocus_ = nullptr;
  int convertDepth_ = 0;             // 変換 handlers running (nested)
  int endCode_ = wxID_CANCEL;
  wxEventLoopBase* loop_ = nullptr;  // while RunDialog runs
};

}  // namespace velmira::app
