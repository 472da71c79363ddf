#include "cli/Arguments.h"

#include <limits>

namespace velmira::cli {

const char kUsage[] =
    "usage: velmira-cli SOURCE [--start N] [--end N] [--offset N]\n"
    "                   [--intermediate on|off] [--mode A|B|C|D]\n"
    "                   [--threshold 0|1|2|4] [--output-dir DIR] [--jobs N]\n"
    "                   [--quiet] [--help] [--version]\n"
    "\n"
    "Converts the frames START..END of a numbered 24-bit BMP sequence into\n"
    "MSX2 SCREEN 5 images (NNNN.S05) with double-size previews (TES_NNNN.bmp).\n"
    "SOURCE names one frame; the four characters before .bmp are where the\n"
    "frame number goes (run0000.bmp). Outputs are numbered from OFFSET.\n"
    "\n"
    "  --start N            first frame number (default 0)\n"
    "  --end N              last frame number (default: the start)\n"
    "  --offset N           output number of the first frame (default 0)\n"
    "  --intermediate on|off  intermediate colours by pair dithering (on)\n"
    "  --mode A|B|C|D       palette-making mode (A)\n"
    "  --threshold 0|1|2|4  consecutive-image judgement (1)\n"
    "  --output-dir DIR     where outputs go (default: the current directory)\n"
    "  --jobs N             frames converted at once (default: one per core)\n"
    "  --quiet              no progress bar\n"
    "\n"
    "Exit status: 0 finished, 1 refused or failed, 2 usage error, 130 cancelled.\n";

std::optional<int32_t> ParseStrictInt32(const std::string& text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) return std::nullopt;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
    if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) {
      return std::nullopt;
    }
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max() ||
      value < std::numeric_limits<int32_t>::min()) {
    return std::nullopt;
  }
  return static_cast<int32_t>(value);
}

std::optional<std::string> ParseArguments(const std::vector<std::string>& argv,
                                          Arguments* args) {
  bool haveSource = false;
  for (size_t i = 0; i < argv.size(); ++i) {
    std::string arg = argv[i];
    if (arg.rfind("--", 0) != 0 || arg == "--") {
      if (arg == "--") {
        if (i + 1 >= argv.size()) return "missing SOURCE after --";
        arg = argv[++i];
      }
      if (haveSource) return "only one SOURCE may be given (also got '" + arg + "')";
      args->source = arg;
      haveSource = true;
      continue;
    }
    std::string name = arg;
    std::optional<std::string> inlineValue;
    if (const auto eq = arg.find('='); eq != std::string::npos) {
      name = arg.substr(0, eq);
      inlineValue = arg.substr(eq + 1);
    }
    auto flag = [&](bool* out) -> std::optional<std::string> {
      if (inlineValue) return name + " takes no value";
      *out = true;
      return std::nullopt;
    };
    if (name == "--quiet") {
      if (auto e = flag(&args->quiet)) return e;
      continue;
    }
    if (name == "--help") {
      if (auto e = flag(&args->help)) return e;
      continue;
    }
    if (name == "--version") {
      if (auto e = flag(&args->version)) return e;
      continue;
    }
    static const char* const kValued[] = {"--start",     "--end",       "--offset",
                                          "--intermediate", "--mode", "--threshold",
                                          "--output-dir", "--jobs"};
    bool known = false;
    for (const char* k : kValued) known = known || name == k;
    if (!known) return "unknown option " + name;
    std::string value;
    if (inlineValue) {
      value = *inlineValue;
    } else {
      if (i + 1 >= argv.size()) return name + " needs a value";
      value = argv[++i];
    }
    auto number = [&](int32_t* out) -> std::optional<std::string> {
      const auto n = ParseStrictInt32(value);
      if (!n) return name + " needs a whole number, not '" + value + "'";
      *out = *n;
      return std::nullopt;
    };
    if (name == "--start") {
      if (auto e = number(&args->start)) return e;
    } else if (name == "--end") {
      int32_t end = 0;
      if (auto e = number(&end)) return e;
      args->end = end;
    } else if (name == "--offset") {
      if (auto e = number(&args->offset)) return e;
    } else if (name == "--jobs") {
      if (auto e = number(&args->jobs)) return e;
      if (args->jobs < 1) return "--jobs needs a number of at least 1, not '" + value + "'";
    } else if (name == "--intermediate") {
      if (value == "on") {
        args->intermediate = true;
      } else if (value == "off") {
        args->intermediate = false;
      } else {
        return "--intermediate takes on or off, not '" + value + "'";
      }
    } else if (name == "--mode") {
      if (value.size() == 1 && value[0] >= 'A' && value[0] <= 'D') {
        args->mode = value[0] - 'A';
      } else if (value.size() == 1 && value[0] >= 'a' && value[0] <= 'd') {
        args->mode = value[0] - 'a';
      } else {
        return "--mode takes A, B, C or D, not '" + value + "'";
      }
    } else if (name == "--threshold") {
      if (value == "0" || value == "1" || value == "2" || value == "4") {
        args->threshold = value[0] - '0';
      } else {
        return "--threshold takes 0, 1, 2 or 4, not '" + value + "'";
      }
    } else if (name == "--output-dir") {
      if (value.empty()) return "--output-dir needs a folder";
      args->outputDir = value;
    }
  }
  if (!haveSource && !args->help && !args->version) return "missing SOURCE";
  return std::nullopt;
}

}  // namespace velmira::cli
