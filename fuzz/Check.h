// What a fuzz target asserts: a broken property stops the run with its name,
// so libFuzzer keeps the input that broke it.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace velmira::fuzz {

inline void Check(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
  }
}

}  // namespace velmira::fuzz
