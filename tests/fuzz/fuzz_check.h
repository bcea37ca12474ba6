#pragma once

#include <cstdio>
#include <cstdlib>

// A property that must hold for every input: a failure aborts, which libFuzzer reports as a
// crash and saves the input. Unlike assert, it is never compiled out.
#define FUZZ_CHECK(condition)                                                               \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (false)
