// velmira-cli: converts a numbered BMP sequence into SCREEN 5 images from
// the command line, through the same batch driver as the desktop program.
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "cli/Arguments.h"
#include "cli/CliHost.h"
#include "cli/Interrupts.h"
#include "job/BatchDriver.h"
#include "job/Messages.h"

namespace {

void ShowNoMemory() {
  const std::string_view text = velmira::messages::kNoMemory;
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

}  // namespace

int main(int argc, char** argv) {
  using namespace velmira;
  std::vector<std::string> words(argv + 1, argv + argc);
  cli::Arguments args;
  if (auto error = cli::ParseArguments(words, &args)) {
    std::fprintf(stderr, "velmira-cli: %s\n\n%s", error->c_str(), cli::kUsage);
    return 2;
  }
  if (args.help) {
    std::fputs(cli::kUsage, stdout);
    return 0;
  }
  if (args.version) {
    std::puts("velmira-cli 1.0.0.1");
    return 0;
  }

  cli::InstallInterruptHandlers();
  try {
    Session session;
    session.outputDirectory = args.outputDir;
    session.tempWatcher = &cli::TempTable();
    session.workerCount = args.jobs > 0 ? args.jobs : DefaultWorkerCount();
    cli::CliHost host(args, session.state,
                      !args.quiet && ::isatty(STDERR_FILENO) == 1);
    RunConversion(host, session);
    return host.ExitStatus();
  } catch (const std::bad_alloc&) {
    // The work areas themselves did not fit. Nothing half-written remains:
    // every output is renamed into place only when complete.
    ShowNoMemory();
  } catch (const std::system_error& e) {
    // No room for another thread is no memory too.
    if (e.code() == std::errc::resource_unavailable_try_again ||
        e.code() == std::errc::not_enough_memory) {
      ShowNoMemory();
    } else {
      std::fprintf(stderr, "velmira-cli: %s\n", e.what());
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "velmira-cli: %s\n", e.what());
  }
  return 1;
}
