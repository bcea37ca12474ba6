#include "collection/posix/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace vq {
namespace {

// Opens a new, unused file beside `path`; its mode follows the umask like any created file.
int createTemporaryBeside(const std::string& path, std::string& temporaryPath) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporaryPath = path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
    const int fd = open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// A file marked read-only (no write bit at all) is the user's word that it must not change; a
// rename would replace it regardless, and root would even write it in place.
bool isMarkedReadOnly(const std::string& path) {
  struct stat status;
  return lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
         (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

bool replaceFileAtomically(const std::string& path, std::string_view bytes) {
  if (path.empty() || isMarkedReadOnly(path)) return false;
  std::string temporaryPath;
  const int fd = createTemporaryBeside(path, temporaryPath);
  if (fd < 0) return false;

  const bool written = writeAll(fd, bytes) && fsync(fd) == 0;
  const bool closed = close(fd) == 0;
  if (written && closed && std::rename(temporaryPath.c_str(), path.c_str()) == 0) return true;
  unlink(temporaryPath.c_str());
  return false;
}

}  // namespace vq
