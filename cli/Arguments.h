// The command line of velmira-cli.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmira::cli {

struct Arguments {
  std::string source;  // one frame's path, as typed into the dialog
  int32_t start = 0;
  std::optional<int32_t> end;  // defaults to start
  int32_t offset = 0;
  bool intermediate = true;
  int32_t mode = 0;       // 0..3 for A..D
  int32_t threshold = 1;  // 0, 1, 2 or 4
  std::string outputDir;  // empty: the current directory
  int32_t jobs = 0;       // 0: one per core
  bool quiet = false;
  bool help = false;
  bool version = false;
};

// Fills args, or returns a usage error naming the option at fault.
std::optional<std::string> ParseArguments(const std::vector<std::string>& argv,
                                          Arguments* args);

// Strict number: an optional sign and decimal digits that fit in 32 bits.
std::optional<int32_t> ParseStrictInt32(const std::string& text);

extern const char kUsage[];

}  // namespace velmira::cli
