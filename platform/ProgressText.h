// The text of the progress window: "進行度" followed by the percentage with
// exactly four decimals, truncated, and "%": 2/3 of the way is 進行度66.6666%.
#pragma once

#include <string>

namespace velmira::platform {

std::string ProgressText(double progressPercent);

}  // namespace velmira::platform
