#pragma once

#include "core/text.h"

namespace vq {

// What saving and showing the page asks of the operating system.
class Desktop {
 public:
  virtual ~Desktop() = default;
  // The directory of the program's executable, without a trailing backslash.
  virtual Text runDirectory() = 0;
  // True when every byte reached the file at `path`. The bytes go to a temporary file beside it,
  // which replaces `path` only once complete and closed; on failure an existing file is untouched.
  virtual bool writeBytesToFile(const Text& path, const ByteArray& bytes) = 0;
  // Asks the shell to open `path` with the user's handler for its type; the outcome is not known.
  virtual void openWithShell(const Text& path) = 0;
};

void useDesktop(Desktop& desktop);

// These forward to the desktop in use.
Text runDirectory();
bool writeBytesToFile(const Text& path, const ByteArray& bytes);
void openWithShell(const Text& path);

// The Text's bytes without the terminating NUL.
ByteArray textToBytes(const Text& text);

// The part of `executablePath` before its last backslash, searching by code page 936 characters
// so that the second byte of a double-byte character is never taken for one; empty if none.
Text directoryOf(const Text& executablePath);

}  // namespace vq
