// CSequenceApp, the application object: its start-up runs the whole program
// as one modal dialog, and the program ends when the dialog does. There is
// no main window loop of its own.
#pragma once

#include <wx/app.h>

namespace velmira::app {

class CSequenceApp final : public wxApp {
 public:
  bool OnInit() override;  // shows the main dialog until it ends
  int OnRun() override;    // nothing left to run
};

}  // namespace velmira::app
