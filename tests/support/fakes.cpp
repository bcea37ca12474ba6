#include "support/fakes.h"

#include <cstdlib>

namespace vq::testing {

void CountingHeap::reset() {
  refusedSize = -1;
  allocations = 0;
  released.clear();
}

CountingHeap& countingHeap() {
  // Never destroyed: module-level Texts give their blocks back during static destruction.
  static CountingHeap& heap = *new CountingHeap;
  return heap;
}

void* CountingHeap::allocate(std::size_t size) {
  if (static_cast<std::int64_t>(size) == refusedSize) return nullptr;
  ++allocations;
  return std::malloc(size);
}

void CountingHeap::release(void* block) {
  released.push_back(block);
  std::free(block);
}

Text FakeView::getEditBoxText() {
  calls.push_back("get");
  return Text(editBox);
}

void FakeView::setEditBoxText(const Text& text) {
  calls.push_back("setEditBox");
  editBox = str(text);
}

void FakeView::setStatusCaption(const Text& newCaption) {
  calls.push_back("setCaption");
  caption = str(newCaption);
}

ByteArray ScriptedHttpClient::readUrl(const Text& url) {
  urlsAsked.push_back(str(url));
  if (replies.empty()) return ByteArray();
  const std::string reply = replies.front();
  replies.erase(replies.begin());
  return ByteArray(reply);
}

bool FakeDesktop::writeBytesToFile(const Text& path, const ByteArray& bytes) {
  ++writeAttempts;
  if (failWrites) return false;
  files[str(path)] = std::string(bytes.view());
  return true;
}

}  // namespace vq::testing
