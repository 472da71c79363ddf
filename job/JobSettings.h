// A job's settings as captured from the main dialog, their checks, and the
// names of every file a job reads and writes.
//
//   JobOptions options;                          // program-wide, start values
//   JobSettings s = ReadJobSettings(host, options);
//   if (auto m = ValidateJobSettings(s); !m.empty()) { /* refuse */ }
//   SourceFrameName(s, 12)   -> ".../run0012.bmp"
//   ImageFileName(OutputNumber(s, 12)) -> "0012.S05"
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmira {

namespace platform {
class Host;
}

// The three option groups. They live as long as the program; a capture
// writes them and the stages read them. A group with no checked button keeps
// the previous capture's value.
struct JobOptions {
  int32_t IntermediateColours = 1;  // 0 off, 1 on
  int32_t ColourMode = 0;           // 0..3 for A..D
  int32_t SequenceThreshold = 1;    // 0, 1, 2 or 4
};

struct JobSettings {
  std::string sourcePath;  // UTF-8; counted in bytes
  int32_t startNumber = 0;
  int32_t endNumber = 0;
  int32_t outputOffset = 0;
  int32_t IntermediateColours = 1;
  int32_t ColourMode = 0;
  int32_t SequenceThreshold = 1;
};

inline constexpr int32_t kMaxFrameNumber = 9999;
inline constexpr int32_t kMaxOutputNumber = 7999;

// The C library's atoi: leading white space, one sign, digits up to the
// first non-digit, accumulated with 32-bit wrap-around. No digits give 0.
int32_t ParseLikeAtoi(std::string_view text);

// Removes trailing single-byte white space (space, \t, \n, \v, \f, \r).
std::string TrimTrailingWhiteSpace(std::string_view text);

// Captures the dialog's controls; stores the options as it goes.
JobSettings ReadJobSettings(platform::Host& host, JobOptions& options);

// Empty when the job may run, else the first failing check's message.
std::string ValidateJobSettings(const JobSettings& settings);

// x (0..9999) as exactly four digits: 7 -> "0007".
std::string FourDigits(int32_t x);

int32_t OutputNumber(const JobSettings& settings, int32_t frame);
std::string SourceFrameName(const JobSettings& settings, int32_t frame);
std::string ImageFileName(int32_t outputNumber);
std::string PreviewFileName(int32_t outputNumber);

}  // namespace velmira
