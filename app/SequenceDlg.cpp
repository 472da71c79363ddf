#include "app/SequenceDlg.h"

#include <string>

#include <wx/button.h>
#include <wx/evtloop.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/iconbndl.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "app/DialogFont.h"
#include "app/Trace.h"
#include "app/icons/velmira-16.xpm"
#include "app/icons/velmira-32.xpm"
#include "app/icons/velmira-48.xpm"

namespace velmira::app {
namespace {

using namespace velmira::platform;

wxString U(const char* utf8) { return wxString::FromUTF8(utf8); }

}  // namespace

CSequenceDlg::CSequenceDlg(Session& session)
    : session_(session), host_(*this, session.state) {
  // Caption and close box, no minimise, maximise or resize; at the screen's
  // origin, not centred.
  Create(nullptr, wxID_ANY, "Velmira", wxPoint(0, 0), wxDefaultSize,
         wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
  SetFont(DialogFont(9));
  SetClientSize(ConvertDialogToPixels(wxSize(261, 190)));
  CreateControls();

  Bind(wxEVT_BUTTON, &CSequenceDlg::OnBrowse, this, kBrowseButton);
  Bind(wxEVT_BUTTON, &CSequenceDlg::OnConvert, this, kConvertButton);
  Bind(wxEVT_BUTTON, &CSequenceDlg::OnExit, this, kExitButton);
  Bind(wxEVT_CLOSE_WINDOW, &CSequenceDlg::OnClose, this);
  Bind(wxEVT_DESTROY, &CSequenceDlg::OnDestroy, this);
  Bind(wxEVT_CHAR_HOOK, &CSequenceDlg::OnCharHook, this);
  Bind(wxEVT_CHILD_FOCUS, &CSequenceDlg::OnChildFocus, this);

  OnInitDialog();
}

CSequenceDlg::~CSequenceDlg() = default;

void CSequenceDlg::CreateControls() {
  // Dialog units to pixels, from this dialog's font.
  auto at = [this](int x, int y) { return ConvertDialogToPixels(wxPoint(x, y)); };
  auto size = [this](int w, int h) { return ConvertDialogToPixels(wxSize(w, h)); };
  auto label = [&](const char* text, int x, int y, int w, int h) {
    items_.push_back({new wxStaticText(this, wxID_ANY, U(text), at(x, y),
                                       size(w, h), wxST_NO_AUTORESIZE),
                      false});
  };
  auto edit = [&](int id, int x, int y, int w, int h) {
    auto* box = new wxTextCtrl(this, id, wxString(), at(x, y), size(w, h));
    items_.push_back({box, true});
    return box;
  };
  auto button = [&](int id, const char* text, int x, int y, int w, int h) {
    items_.push_back(
        {new wxButton(this, id, U(text), at(x, y), size(w, h)), true});
  };
  auto group = [&](const char* text, int x, int y, int w, int h) {
    items_.push_back(
        {new wxStaticBox(this, wxID_ANY, U(text), at(x, y), size(w, h)),
         false});
  };
  auto radio = [&](int id, const char* text, int x, int y, int w, int h,
                   bool first) {
    auto* r = new wxRadioButton(this, id, U(text), at(x, y), size(w, h),
                                first ? wxRB_GROUP : 0);
    // The toolkit cannot draw a radio button narrower than its indicator
    // and label: such a button grows to the right, inside its group box.
    if (r->GetBestSize().x > r->GetSize().x) {
      r->SetSize(wxSize(r->GetBestSize().x, r->GetSize().y));
    }
    options_[id - kIntermediateOff] = r;
    items_.push_back({r, false});  // reached with the mouse or arrow keys
  };

  // The 24 controls in their tab order.
  label("BMPファイル", 20, 15, 90, 8);
  pathBox_ = edit(kPathBox, 20, 25, 160, 22);
  button(kBrowseButton, "参照", 200, 25, 40, 22);
  button(kConvertButton, "変換", 20, 145, 50, 24);
  button(kExitButton, "終了", 190, 145, 50, 24);
  startBox_ = edit(kStartBox, 60, 60, 50, 15);
  label("開始番号", 20, 60, 30, 8);
  endBox_ = edit(kEndBox, 60, 90, 50, 15);
  label("終了番号", 20, 90, 30, 8);
  offsetBox_ = edit(kOffsetBox, 60, 120, 50, 15);
  label("オフセット", 20, 120, 30, 8);
  group("中間色", 120, 60, 48, 40);
  radio(kIntermediateOff, "不使用", 130, 70, 30, 10, true);
  radio(kIntermediateOn, "使用", 130, 85, 30, 10, false);
  group("色作成", 180, 60, 60, 40);
  radio(kModeA, "A", 190, 70, 20, 10, true);
  radio(kModeB, "B", 215, 70, 20, 10, false);
  radio(kModeC, "C", 190, 85, 20, 10, false);
  radio(kModeD, "D", 215, 85, 20, 10, false);
  group("連続画像判定（数値差判定）", 120, 110, 120, 25);
  radio(kThreshold0, "0", 125, 120, 20, 10, true);
  radio(kThreshold1, "1", 155, 120, 20, 10, false);
  radio(kThreshold2, "2", 185, 120, 20, 10, false);
  radio(kThreshold4, "4", 215, 120, 20, 10, false);

  // No default push button: Enter presses nothing.
  SetDefaultItem(nullptr);
}

void CSequenceDlg::OnInitDialog() {
  wxIconBundle icons;
  icons.AddIcon(wxIcon(velmira_48_xpm));
  icons.AddIcon(wxIcon(velmira_32_xpm));
  icons.AddIcon(wxIcon(velmira_16_xpm));
  SetIcons(icons);

  startBox_->SetValue("0");
  endBox_->SetValue("0");
  offsetBox_->SetValue("0");
  options_[kIntermediateOn - kIntermediateOff]->SetValue(true);
  options_[kModeA - kIntermediateOff]->SetValue(true);
  options_[kThreshold1 - kIntermediateOff]->SetValue(true);

  // The first tab stop, the path box, has the focus.
  pathBox_->SetFocus();
  lastFocus_ = pathBox_;
  // Once the dialog is on screen it takes the keyboard.
  CallAfter([this] {
    Raise();
    RestoreFocus();
    TraceReady();
  });
}

wxString CSequenceDlg::ControlValue(int controlId) const {
  switch (controlId) {
    case kPathBox: return pathBox_->GetValue();
    case kStartBox: return startBox_->GetValue();
    case kEndBox: return endBox_->GetValue();
    case kOffsetBox: return offsetBox_->GetValue();
    default: return wxString();
  }
}

bool CSequenceDlg::Checked(int controlId) const {
  if (controlId < kIntermediateOff || controlId > kThreshold4) return false;
  return options_[controlId - kIntermediateOff]->GetValue();
}

void CSequenceDlg::OnBrowse(wxCommandEvent&) {
  wxFileDialog dialog(nullptr, wxFileSelectorPromptStr, wxString(), wxString(),
                      U("BMP File  （ *.bmp ）|*.bmp"), wxFD_OPEN);
  RememberFocus();
  dialog.CallAfter([&dialog] { dialog.Raise(); });  // it takes the keyboard
  const int result = dialog.ShowModal();
  if (result == wxID_OK) {
    const wxString path = dialog.GetPath();
    pathBox_->SetValue(path);
    // Outputs have bare names: they land beside the chosen frames.
    wxSetWorkingDirectory(wxFileName(path).GetPath());
  }
  RestoreFocus();
}

void CSequenceDlg::OnConvert(wxCommandEvent&) {
  ++convertDepth_;
  RunConversion(host_, session_);
  --convertDepth_;
  // A quit request that came while the job ran takes effect now.
  if (convertDepth_ == 0 && host_.TakeQuitMessage()) {
    TraceLine("quit taken");
    TraceValues();
    TraceLine("end " + std::to_string(endCode_));
    if (loop_ != nullptr) loop_->Exit(endCode_);
  }
}

void CSequenceDlg::OnExit(wxCommandEvent&) {
  if (session_.state.busyFlag != 0) {
    CancelStep(host_, session_.state);  // the dialog stays open
    return;
  }
  EndDialog(wxID_OK);
}

void CSequenceDlg::OnClose(wxCloseEvent&) {
  if (session_.state.busyFlag != 0) CancelStep(host_, session_.state);
  EndDialog(wxID_CANCEL);
}

void CSequenceDlg::OnDestroy(wxWindowDestroyEvent& event) {
  event.Skip();
  if (event.GetEventObject() != this) return;
  if (session_.state.busyFlag != 0) CancelStep(host_, session_.state);
}

void CSequenceDlg::RequestQuit() { EndDialog(wxID_CANCEL); }

void CSequenceDlg::EndDialog(int code) {
  endCode_ = code;
  if (convertDepth_ > 0) {
    // The running job keeps the thread; the dialog ends after it.
    host_.PostQuitMessage();
    return;
  }
  TraceValues();
  TraceLine("end " + std::to_string(code));
  if (loop_ != nullptr) loop_->Exit(code);
}

int CSequenceDlg::RunDialog() {
  // The dialog's own event loop. The toolkit's modal mode is not used: it
  // would lock out the progress window, which must take clicks while the
  // dialog waits beneath it.
  wxGUIEventLoop loop;
  loop_ = &loop;
  Show();
  const int code = loop.Run();
  loop_ = nullptr;
  Hide();
  return code;
}

void CSequenceDlg::OnCharHook(wxKeyEvent& event) {
  const int key = event.GetKeyCode();
  if (key == WXK_RETURN || key == WXK_NUMPAD_ENTER || key == WXK_ESCAPE) {
    // Enter and Escape never end the dialog or press a button: they are
    // ordinary keys for a text box and nothing for the other controls.
    if (dynamic_cast<wxTextCtrl*>(FindFocus()) != nullptr) {
      event.DoAllowNextEvent();
    }
    return;
  }
  if (key == WXK_TAB && !event.ControlDown() && !event.AltDown()) {
    MoveTabFocus(!event.ShiftDown());
    return;
  }
  event.Skip();
}

void CSequenceDlg::OnChildFocus(wxChildFocusEvent& event) {
  event.Skip();
  for (const TemplateItem& item : items_) {
    if (item.window == event.GetWindow()) lastFocus_ = item.window;
  }
}

void CSequenceDlg::MoveTabFocus(bool forward) {
  // Tab visits the text boxes and push buttons in template order; the radio
  // buttons are no tab stops.
  const int n = static_cast<int>(items_.size());
  wxWindow* focus = FindFocus();
  if (focus == nullptr) focus = lastFocus_;
  int current = -1;
  for (int i = 0; i < n; ++i) {
    if (items_[i].window == focus) current = i;
  }
  if (current < 0) current = forward ? n - 1 : 0;
  for (int step = 1; step <= n; ++step) {
    const int i = ((current + (forward ? step : -step)) % n + n) % n;
    if (items_[i].tabStop) {
      items_[i].window->SetFocus();
      lastFocus_ = items_[i].window;
      return;
    }
  }
}

void CSequenceDlg::RememberFocus() {
  wxWindow* focus = FindFocus();
  for (const TemplateItem& item : items_) {
    if (item.window == focus) lastFocus_ = focus;
  }
}

void CSequenceDlg::RestoreFocus() {
  if (IsBeingDeleted()) return;
  Raise();
  if (lastFocus_ != nullptr) lastFocus_->SetFocus();
}

void CSequenceDlg::TraceReady() {
  if (!TraceEnabled()) return;
  TraceLine("ready");
  for (const TemplateItem& item : items_) {
    const int id = item.window->GetId();
    if (id < kPathBox || id > kThreshold4) continue;
    const wxRect r = item.window->GetScreenRect();
    TraceLine("control " + std::to_string(id) + " " + std::to_string(r.x) +
              " " + std::to_string(r.y) + " " + std::to_string(r.width) +
              " " + std::to_string(r.height));
  }
  TraceValues();
}

void CSequenceDlg::TraceValues() const {
  if (!TraceEnabled()) return;
  std::string checked;
  for (int id = kIntermediateOff; id <= kThreshold4; ++id) {
    if (!Checked(id)) continue;
    if (!checked.empty()) checked += ",";
    checked += std::to_string(id);
  }
  TraceLine("values path=" + ControlValue(kPathBox).utf8_string() +
            " start=" + ControlValue(kStartBox).utf8_string() +
            " end=" + ControlValue(kEndBox).utf8_string() +
            " offset=" + ControlValue(kOffsetBox).utf8_string() +
            " checked=" + checked);
}

}  // namespace velmira::app
