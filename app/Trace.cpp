#include "app/Trace.h"

#include <cstdio>
#include <cstdlib>

namespace velmira::app {
namespace {

const char* TracePath() {
  static const char* path = [] {
    const char* p = std::getenv("VELMIRA_TRACE");
    return (p != nullptr && *p != '\0') ? p : nullptr;
  }();
  return path;
}

}  // namespace

bool TraceEnabled() { return TracePath() != nullptr; }

void TraceLine(const std::string& line) {
  const char* path = TracePath();
  if (path == nullptr) return;
  // Opened per line so that a reader sees every line as soon as it exists.
  if (std::FILE* f = std::fopen(path, "a")) {
    std::fputs(line.c_str(), f);
    std::fputc('\n', f);
    std::fclose(f);
  }
}

}  // namespace velmira::app
