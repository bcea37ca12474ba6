#include "collection/win32/win32_desktop.h"

#include <windows.h>

#include <shellapi.h>

#include <string>

#include "core/win32/code_page.h"

namespace vq::win32 {
namespace {

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() { close(); }

  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  bool close() {
    const bool closed = !valid() || CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

// The target must be one this user could open for writing with no sharing: not read-only, not a
// directory, not held open by anyone. A missing file is fine; it is about to be created. The
// read-only mark is looked at on its own because an administrator under Wine could open the file
// for writing all the same.
bool targetCanBeReplaced(const std::wstring& target) {
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return false;
  }
  FileHandle probe(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  return probe.valid() || GetLastError() == ERROR_FILE_NOT_FOUND;
}

// A new file beside `target`, opened for writing with no sharing.
HANDLE createTemporaryBeside(const std::wstring& target, std::wstring& temporary) {
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    temporary = target + L".tmp-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(attempt);
    const HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

bool writeAll(HANDLE file, std::string_view bytes) {
  if (bytes.empty()) return true;
  DWORD written = 0;
  return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

}  // namespace

bool Win32Desktop::writeBytesToFile(const Text& path, const ByteArray& bytes) {
  if (path.empty()) return false;
  const std::wstring target = widen(path.view());
  if (!targetCanBeReplaced(target)) return false;

  std::wstring temporary;
  FileHandle file(createTemporaryBeside(target, temporary));
  if (!file.valid()) return false;
  const bool written = writeAll(file.get(), bytes.view()) && FlushFileBuffers(file.get());
  const bool closed = file.close();
  if (written && closed &&
      MoveFileExW(temporary.c_str(), target.c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  DeleteFileW(temporary.c_str());
  return false;
}

void Win32Desktop::openWithShell(const Text& path) {
  ShellExecuteW(nullptr, L"open", widen(path.view()).c_str(), nullptr, L"", SW_SHOWNORMAL);
}

}  // namespace vq::win32
