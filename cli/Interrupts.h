// Ctrl-C and SIGTERM for the command line. The first one is a cancel
// request, handled like a click on キャンセル at the next pump; a second one
// ends the process at once, after removing every temporary output file, so
// that no partial file remains either way.
#pragma once

#include <string>

#include "platform/FileSystem.h"

namespace velmira::cli {

// Installs the handlers, and ignores SIGPIPE so that a closed stderr costs
// only the message. Call once, before the job.
void InstallInterruptHandlers();

// Interrupts received so far.
int InterruptCount();

// Keeps the names of the temporary files being written in a fixed table
// that the signal handler can read.
class SignalSafeTempTable final : public platform::TempFileWatcher {
 public:
  void TempCreated(const std::string& path) override;
  void TempGone(const std::string& path) override;
};

SignalSafeTempTable& TempTable();

}  // namespace velmira::cli
