// The one atomic writer of every file the program writes: permissions of new and replaced files, links,
// special files, and failures that leave nothing behind.
#include "text/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

namespace velnorex {
namespace {

namespace fs = std::filesystem;

class Umask {
 public:
  explicit Umask(mode_t mask) : old_(::umask(mask)) {}
  ~Umask() { ::umask(old_); }

 private:
  mode_t old_;
};

class FileReplace : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("file-replace-test-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  static mode_t Mode(const fs::path& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  }
  size_t FileCount() const { return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {})); }

  fs::path dir_;
};

TEST_F(FileReplace, NewFilesFollowTheUmaskAndReplacedOnesKeepTheirMode) {
  {
    Umask mask(022);
    ASSERT_EQ(ReplaceFileAtomically(dir_ / "new.lst", "abc"), 0);
    EXPECT_EQ(Mode(dir_ / "new.lst"), 0644u);
  }
  {
    Umask mask(027);
    ASSERT_EQ(ReplaceFileAtomically(dir_ / "group.lst", "abc"), 0);
    EXPECT_EQ(Mode(dir_ / "group.lst"), 0640u);
  }
  Umask mask(022);
  // A file kept private stays private, and one opened to the group stays open, whatever the umask.
  ASSERT_EQ(ReplaceFileAtomically(dir_ / "private.INI", "old"), 0);
  ASSERT_EQ(::chmod((dir_ / "private.INI").c_str(), 0600), 0);
  ASSERT_EQ(ReplaceFileAtomically(dir_ / "private.INI", "new content"), 0);
  EXPECT_EQ(Mode(dir_ / "private.INI"), 0600u);
  EXPECT_EQ(Read(dir_ / "private.INI"), "new content");
  ASSERT_EQ(::chmod((dir_ / "group.lst").c_str(), 0664), 0);
  ASSERT_EQ(ReplaceFileAtomically(dir_ / "group.lst", ""), 0);
  EXPECT_EQ(Mode(dir_ / "group.lst"), 0664u);
  EXPECT_EQ(Read(dir_ / "group.lst"), "");
  EXPECT_EQ(FileCount(), 3u);  // no temporary left behind
}

TEST_F(FileReplace, ALinkKeepsPointingAtTheReplacedFileAndAPipeIsWrittenAsItIs) {
  fs::create_directory(dir_ / "real");
  ASSERT_EQ(ReplaceFileAtomically(dir_ / "real" / "velnorex.log", "old"), 0);
  fs::create_symlink(dir_ / "real" / "velnorex.log", dir_ / "link.log");
  ASSERT_EQ(ReplaceFileAtomically(dir_ / "link.log", "new"), 0);
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.log"));
  EXPECT_EQ(Read(dir_ / "real" / "velnorex.log"), "new");

  // Renaming over a pipe (or a device such as /dev/null) would put a plain file in its place.
  const fs::path fifo = dir_ / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ASSERT_EQ(ReplaceFileAtomically(fifo, "through"), 0);
  char buffer[16] = {};
  EXPECT_EQ(::read(reader, buffer, sizeof buffer), 7);
  EXPECT_EQ(std::string(buffer), "through");
  ::close(reader);
  EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST_F(FileReplace, AFailureNamesItsCauseAndLeavesNothingBehind) {
  EXPECT_EQ(ReplaceFileAtomically(dir_ / "missing" / "x.lst", "abc"), ENOENT);
  // A folder in the file's place stays as it is.
  fs::create_directories(dir_ / "taken.lst" / "inside");
  EXPECT_NE(ReplaceFileAtomically(dir_ / "taken.lst", "abc"), 0);
  EXPECT_TRUE(fs::is_directory(dir_ / "taken.lst" / "inside"));
  EXPECT_EQ(FileCount(), 1u);
}

}  // namespace
}  // namespace velnorex
