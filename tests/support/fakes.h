#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "collection/desktop.h"
#include "collection/view.h"
#include "core/block_heap.h"
#include "core/fatal_error.h"
#include "core/text.h"
#include "raffle/raffle_request.h"

namespace vq::testing {

inline std::string str(const Text& text) { return std::string(text.view()); }

// The C library's heap, counting what goes through it; can be told to refuse one size.
class CountingHeap final : public BlockHeap {
 public:
  void* allocate(std::size_t size) override;
  void release(void* block) override;

  // Forgets what was counted and refuses nothing.
  void reset();
  int liveBlocks() const { return allocations - static_cast<int>(released.size()); }

  std::int64_t refusedSize = -1;
  int allocations = 0;
  std::vector<void*> released;
};

// The heap and fatal path of every test: installed by the tests' main for the whole run, so no
// block outlives the heap it came from.
CountingHeap& countingHeap();

// What the fatal path was given; it then unwinds with FatalErrorRaised instead of ending the
// process.
struct FatalErrorRaised {
  std::string boxText;
};

class ThrowingFatalErrorHandler final : public FatalErrorHandler {
 public:
  [[noreturn]] void terminate(const Text& boxText) override {
    throw FatalErrorRaised{str(boxText)};
  }
};

// The main window's edit box and label as plain values, with a log of every call.
class FakeView final : public View {
 public:
  Text getEditBoxText() override;
  void setEditBoxText(const Text& text) override;
  void setStatusCaption(const Text& caption) override;

  std::string editBox;
  std::string caption;
  std::vector<std::string> calls;  // "get", "setEditBox", "setCaption"
};

// Replies handed out in order; every URL asked is kept.
class ScriptedHttpClient final : public HttpClient {
 public:
  ByteArray readUrl(const Text& url) override;

  std::vector<std::string> replies;
  std::vector<std::string> urlsAsked;
};

// Files in memory; saves fail while `failWrites` is set.
class FakeDesktop final : public Desktop {
 public:
  Text runDirectory() override { return Text(directory); }
  bool writeBytesToFile(const Text& path, const ByteArray& bytes) override;
  void openWithShell(const Text& path) override { opened.push_back(str(path)); }

  std::string directory = "C:\\Tools";
  bool failWrites = false;
  std::map<std::string, std::string> files;
  std::vector<std::string> opened;
  int writeAttempts = 0;
};

}  // namespace vq::testing
