#include "collection/posix/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vq {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void writeFile(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// Root writes into read-only directories regardless, so a root test run saves from a child
// process that has given up its privileges.
bool saveAsOrdinaryUser(const fs::path& path, const std::string& bytes) {
  if (geteuid() != 0) return replaceFileAtomically(path, bytes);
  const pid_t child = fork();
  if (child == 0) {
    const uid_t nobody = 65534;
    if (setgid(nobody) != 0 || setuid(nobody) != 0) _exit(2);
    _exit(replaceFileAtomically(path, bytes) ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2) << "could not drop privileges";
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class AtomicFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vq-atomic-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir);
  }
  // Nothing but the given names is left in the directory: no temporary file stays behind.
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir;
};

TEST_F(AtomicFileTest, CreatesTheFileWithExactlyTheBytes) {
  const std::string bytes("<p>\xB0\xA1\r\n\0end", 12);
  ASSERT_TRUE(replaceFileAtomically(dir / "1.html", bytes));
  EXPECT_EQ(readFile(dir / "1.html"), bytes);
  EXPECT_EQ(entries(), std::vector<std::string>{"1.html"});
}

TEST_F(AtomicFileTest, ReplacesALongerFileWhole) {
  writeFile(dir / "1.html", std::string(10000, 'x'));
  ASSERT_TRUE(replaceFileAtomically(dir / "1.html", "short"));
  EXPECT_EQ(readFile(dir / "1.html"), "short");
  EXPECT_EQ(entries(), std::vector<std::string>{"1.html"});
}

TEST_F(AtomicFileTest, EmptyContentGivesAnEmptyFile) {
  writeFile(dir / "1.html", "old");
  ASSERT_TRUE(replaceFileAtomically(dir / "1.html", ""));
  EXPECT_EQ(readFile(dir / "1.html"), "");
}

TEST_F(AtomicFileTest, NewFileFollowsTheUmaskNotTheTemporaryDefaults) {
  const mode_t previous = umask(022);
  ASSERT_TRUE(replaceFileAtomically(dir / "1.html", "x"));
  umask(previous);
  struct stat status {};
  ASSERT_EQ(stat((dir / "1.html").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0644u);
}

TEST_F(AtomicFileTest, FailuresLeaveTheOldFileExactlyAsItWas) {
  writeFile(dir / "1.html", "previous page");

  fs::permissions(dir / "1.html", fs::perms::owner_read, fs::perm_options::replace);
  EXPECT_FALSE(replaceFileAtomically(dir / "1.html", "new")) << "read-only file";
  fs::permissions(dir / "1.html", fs::perms::owner_read | fs::perms::owner_write,
                  fs::perm_options::replace);

  const fs::perms readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                             fs::perms::group_exec | fs::perms::others_read |
                             fs::perms::others_exec;
  fs::permissions(dir, readOnly, fs::perm_options::replace);
  EXPECT_FALSE(saveAsOrdinaryUser(dir / "1.html", "new")) << "read-only directory";
  fs::permissions(dir, fs::perms::owner_all, fs::perm_options::replace);

  EXPECT_EQ(readFile(dir / "1.html"), "previous page");
  EXPECT_EQ(entries(), std::vector<std::string>{"1.html"});
}

TEST_F(AtomicFileTest, ATargetThatIsADirectoryFailsAndStays) {
  fs::create_directory(dir / "1.html");
  writeFile(dir / "1.html" / "inside", "kept");
  EXPECT_FALSE(replaceFileAtomically(dir / "1.html", "new"));
  EXPECT_TRUE(fs::is_directory(dir / "1.html"));
  EXPECT_EQ(readFile(dir / "1.html" / "inside"), "kept");
  EXPECT_EQ(entries(), std::vector<std::string>{"1.html"});
}

// A full disk fails the write (or the flush) of the new file, never the old one.
TEST_F(AtomicFileTest, AFullDiskLeavesTheOldFileIntact) {
  const fs::path small = dir / "small";
  fs::create_directory(small);
  if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a small file system here";
  }
  struct Unmount {
    const fs::path& at;
    ~Unmount() { umount(at.c_str()); }
  } unmount{small};

  writeFile(small / "1.html", "previous page");
  EXPECT_FALSE(replaceFileAtomically(small / "1.html", std::string(256 * 1024, 'x')));
  EXPECT_EQ(readFile(small / "1.html"), "previous page");
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(small)) left.push_back(entry.path().filename());
  EXPECT_EQ(left, std::vector<std::string>{"1.html"});

  EXPECT_TRUE(replaceFileAtomically(small / "1.html", "fits"));  // once there is room again
  EXPECT_EQ(readFile(small / "1.html"), "fits");
}

TEST_F(AtomicFileTest, MissingDirectoryOrEmptyPathFails) {
  EXPECT_FALSE(replaceFileAtomically(dir / "absent" / "1.html", "x"));
  EXPECT_FALSE(replaceFileAtomically("", "x"));
}

}  // namespace
}  // namespace vq
