// What every fuzz target uses to state a property: a failed one aborts with
// the condition, which libFuzzer reports as a crash and saves the input for.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                          \
  do {                                                                                 \
    if (!(condition)) {                                                                \
      (void)std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, \
                         #condition);                                                  \
      std::abort();                                                                    \
    }                                                                                  \
  } while (false)
