#include "job/JobSettings.h"

#include "job/Messages.h"
#include "platform/Host.h"

namespace velmira {
namespace {

bool IsSingleByteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}

}  // namespace

int32_t ParseLikeAtoi(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsSingleByteSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  uint32_t value = 0;  // unsigned, so the wrap-around is defined
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    value = value * 10u + static_cast<uint32_t>(text[i] - '0');
    ++i;
  }
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

std::string TrimTrailingWhiteSpace(std::string_view text) {
  // Bytes of multi-byte characters are all >= 0x80 in UTF-8, so they are
  // never taken for white space.
  size_t end = text.size();
  while (end > 0 && IsSingleByteSpace(text[end - 1])) --end;
  return std::string(text.substr(0, end));
}

JobSettings ReadJobSettings(platform::Host& host, JobOptions& options) {
  using namespace platform;
  options.IntermediateColours = 0;
  if (host.IsChecked(kIntermediateOn)) options.IntermediateColours = 1;

  const int modeButtons[] = {kModeA, kModeB, kModeC, kModeD};
  for (int32_t i = 0; i < 4; ++i) {
    if (host.IsChecked(modeButtons[i])) options.ColourMode = i;
  }
  const int thresholdButtons[] = {kThreshold0, kThreshold1, kThreshold2,
                                  kThreshold4};
  const int32_t thresholdValues[] = {0, 1, 2, 4};
  for (int32_t i = 0; i < 4; ++i) {
    if (host.IsChecked(thresholdButtons[i])) {
      options.SequenceThreshold = thresholdValues[i];
    }
  }

  JobSettings s;
  s.startNumber = ParseLikeAtoi(host.ControlText(kStartBox));
  s.endNumber = ParseLikeAtoi(host.ControlText(kEndBox));
  s.outputOffset = ParseLikeAtoi(host.ControlText(kOffsetBox));
  s.sourcePath = TrimTrailingWhiteSpace(host.ControlText(kPathBox));
  s.IntermediateColours = options.IntermediateColours;
  s.ColourMode = options.ColourMode;
  s.SequenceThreshold = options.SequenceThreshold;
  return s;
}

std::string ValidateJobSettings(const JobSettings& s) {
  if (s.startNumber < 0 || s.startNumber > kMaxFrameNumber ||
      s.endNumber < 0 || s.endNumber > kMaxFrameNumber ||
      s.startNumber > s.endNumber) {
    return std::string(messages::kBadRange);
  }
  // The largest output number, compared without 32-bit wrap-around.
  const int64_t lastOutput = int64_t{s.outputOffset} +
                             (int64_t{s.endNumber} - int64_t{s.startNumber});
  if (s.outputOffset < 0 || lastOutput > kMaxOutputNumber) {
    return std::string(messages::kBadOffset);
  }
  const std::string_view path = s.sourcePath;
  std::string tail(path.size() < 4 ? path : path.substr(path.size() - 4));
  for (char& c : tail) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (tail != ".bmp") return std::string(messages::kNotBmp);
  if (path.size() < 8) return std::string(messages::kBadFileName);
  return {};
}

std::string FourDigits(int32_t x) {
  return std::to_string(x + 10000).substr(1);
}

int32_t OutputNumber(const JobSettings& s, int32_t frame) {
  return s.outputOffset + (frame - s.startNumber);
}

std::string SourceFrameName(const JobSettings& s, int32_t frame) {
  return s.sourcePath.substr(0, s.sourcePath.size() - 8) + FourDigits(frame) +
         ".bmp";
}

std::string ImageFileName(int32_t outputNumber) {
  return FourDigits(outputNumber) + ".S05";
}

std::string PreviewFileName(int32_t outputNumber) {
  return "TES_" + FourDigits(outputNumber) + ".bmp";
}

}  // namespace velmira
