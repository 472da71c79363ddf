// velmira-reference-job: a whole job through the batch driver with every
// stage in its literal form, one frame at a time; the yardstick that
// run-job-bench.sh sets velmira-cli against. Not a user tool.
//
//   velmira-reference-job SOURCE START END MODE(0-3) THRESHOLD(0|1|2|4)
//                         INTERMEDIATE(0|1) OUTDIR
#include <cstdio>
#include <cstdlib>
#include <string>

#include "job/BatchDriver.h"
#include "job/Messages.h"
#include "platform/HeadlessHost.h"

int main(int argc, char** argv) {
  using namespace velmira;
  using platform::HeadlessHost;
  if (argc != 8) {
    std::fprintf(stderr,
                 "usage: velmira-reference-job SOURCE START END MODE THRESHOLD "
                 "INTERMEDIATE OUTDIR\n");
    return 2;
  }
  Session session;
  session.literalStages = true;
  session.workerCount = 1;
  session.outputDirectory = argv[7];
  HeadlessHost host(session.state);
  host.SetText(platform::kPathBox, argv[1]);
  host.SetText(platform::kStartBox, argv[2]);
  host.SetText(platform::kEndBox, argv[3]);
  host.SetText(platform::kOffsetBox, "0");
  const int mode = std::atoi(argv[4]);
  const int threshold = std::atoi(argv[5]);
  host.Check(mode == 0   ? platform::kModeA
             : mode == 1 ? platform::kModeB
             : mode == 2 ? platform::kModeC
                         : platform::kModeD);
  host.Check(threshold == 0   ? platform::kThreshold0
             : threshold == 1 ? platform::kThreshold1
             : threshold == 2 ? platform::kThreshold2
                              : platform::kThreshold4);
  host.Check(std::atoi(argv[6]) != 0 ? platform::kIntermediateOn
                                     : platform::kIntermediateOff);
  RunConversion(host, session);
  if (host.boxes.empty()) return 1;
  std::fprintf(stderr, "%s\n", host.boxes.back().text.c_str());
  return host.boxes.back().text == messages::kFinished ? 0 : 1;
}
