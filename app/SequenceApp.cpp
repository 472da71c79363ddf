#include "app/SequenceApp.h"

#include <csignal>

#include "app/SequenceDlg.h"
#include "job/BatchDriver.h"

namespace velmira::app {
namespace {

// A termination request is the program's quit message: it ends the dialog,
// and during a job only once the job has returned.
void OnTerminationSignal(int) {
  if (auto* dialog = dynamic_cast<CSequenceDlg*>(wxTheApp->GetTopWindow())) {
    dialog->RequestQuit();
  }
}

}  // namespace

bool CSequenceApp::OnInit() {
  // The command line is not read: the dialog is the only input.
  SetSignalHandler(SIGTERM, OnTerminationSignal);
  SetSignalHandler(SIGINT, OnTerminationSignal);

  // Everything the jobs share lives as long as the program.
  Session session;
  session.workerCount = DefaultWorkerCount();

  {
    CSequenceDlg dialog(session);
    SetTopWindow(&dialog);
    dialog.RunDialog();
    SetTopWindow(nullptr);
  }
  return true;
}

int CSequenceApp::OnRun() { return 0; }

}  // namespace velmira::app

wxIMPLEMENT_APP(velmira::app::CSequenceApp);
