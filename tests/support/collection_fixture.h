#pragma once

#include <gtest/gtest.h>

#include <string>

#include "collection/collection_state.h"
#include "collection/desktop.h"
#include "collection/view.h"
#include "raffle/raffle_request.h"
#include "support/fakes.h"

namespace vq::testing {

// A fresh run: empty collection state, a window that was just created, and fakes for the view,
// the raffle service and the desktop.
class CollectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    releaseCollectionTexts();
    generatedCount = 0;
    attachView(&view);
    useHttpClient(raffle);
    useDesktop(desktop);
  }
  void TearDown() override { attachView(nullptr); }

  static std::string replyWith(const std::string& expiry, const std::string& code) {
    return R"({"code":0,"time":")" + expiry + R"(","activity":")" + code + R"("})";
  }

  FakeView view;
  ScriptedHttpClient raffle;
  FakeDesktop desktop;
};

}  // namespace vq::testing
