#include "platform/ProgressText.h"

#include <cstdint>

namespace velmira::platform {

std::string ProgressText(double progressPercent) {
  const auto whole = static_cast<int32_t>(progressPercent);
  const auto fraction =
      static_cast<int32_t>((progressPercent - whole) * 10000.0);
  return "進行度" + std::to_string(whole) + "." +
         std::to_string(fraction + 10000).substr(1) + "%";
}

}  // namespace velmira::platform
