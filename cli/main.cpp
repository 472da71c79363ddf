// velmira-cli: converts a numbered BMP sequence into SCREEN 5 images from
// the command line, through the same batch driver as the desktop program.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/CliHost.h"
#include "cli/Interrupts.h"
#include "job/BatchDriver.h"

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
  Session session;
  session.outputDirectory = args.outputDir;
  session.tempWatcher = &cli::TempTable();
  session.workerCount = args.jobs > 0 ? args.jobs : DefaultWorkerCount();
  cli::CliHost host(args, session.state,
                    !args.quiet && ::isatty(STDERR_FILENO) == 1);
  RunConversion(host, session);
  return host.ExitStatus();
}
