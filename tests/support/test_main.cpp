#include <gtest/gtest.h>

#include "core/block_heap.h"
#include "core/fatal_error.h"
#include "support/fakes.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  static vq::testing::ThrowingFatalErrorHandler fatal;
  vq::useFatalErrorHandler(fatal);
  vq::useBlockHeap(vq::testing::countingHeap());
  return RUN_ALL_TESTS();
}
