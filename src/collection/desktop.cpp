#include "collection/desktop.h"

#include <cstddef>
#include <string_view>

namespace vq {
namespace {

Desktop* desktopInUse = nullptr;

// Lead bytes of code page 936's double-byte characters.
bool isLeadByte(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return value >= 0x81 && value <= 0xFE;
}

}  // namespace

void useDesktop(Desktop& desktop) { desktopInUse = &desktop; }

Text runDirectory() { return desktopInUse->runDirectory(); }

bool writeBytesToFile(const Text& path, const ByteArray& bytes) {
  return desktopInUse->writeBytesToFile(path, bytes);
}

void openWithShell(const Text& path) { desktopInUse->openWithShell(path); }

ByteArray textToBytes(const Text& text) { return ByteArray(text.view()); }

Text directoryOf(const Text& executablePath) {
  const std::string_view path = executablePath.view();
  std::size_t lastBackslash = std::string_view::npos;
  for (std::size_t i = 0; i < path.size(); i += isLeadByte(path[i]) ? 2 : 1) {
    if (path[i] == '\\') lastBackslash = i;
  }
  return lastBackslash == std::string_view::npos ? Text() : Text(path.substr(0, lastBackslash));
}

}  // namespace vq
