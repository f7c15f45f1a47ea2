// The atomic replace of a file: a temporary file beside it, flushed, renamed over it, the folder flushed.
#include "text/file_replace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velnorex {

namespace fs = std::filesystem;

std::string SystemErrorText(int error) {
  return std::strerror(error);
}

#ifdef _WIN32

int ReplaceFileAtomically(const fs::path& path, std::string_view bytes) {
  fs::path temp = path;
  temp += L".tmp";
  FILE* f = _wfopen(temp.c_str(), L"wb");
  if (!f) return errno;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && std::fflush(f) == 0 &&
                  _commit(_fileno(f)) == 0;
  const int error = errno;
  std::fclose(f);
  // Write-through: the rename is on the disk when the call returns.
  if (!ok || !MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    fs::remove(temp);
    return ok ? EACCES : error;
  }
  return 0;
}

#else

namespace {

bool WriteAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Writes the target itself: a device or a pipe, which cannot be renamed over and must not be, or a regular
// file whose folder takes no new file (then truncated first and flushed).
int WriteInPlace(const fs::path& target, std::string_view bytes, bool regularFile) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | (regularFile ? O_TRUNC : 0));
  if (fd < 0) return errno;
  int error = WriteAll(fd, bytes) ? 0 : errno;
  if (error == 0 && regularFile && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  return error;
}

// Without this a power cut soon after the rename may bring back the old file, or none. Some file systems
// cannot flush a folder; the file itself is on the disk by then, so that is not reported as a failure.
void SyncFolder(const fs::path& file) {
  const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

int ReplaceFileAtomically(const fs::path& path, std::string_view bytes) {
  fs::path target = path;
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(path, ec))) {
    // The link stays a link; a dangling one is replaced itself.
    fs::path real = fs::canonical(path, ec);
    if (!ec) target = std::move(real);
  }
  struct stat old;
  const bool exists = ::stat(target.c_str(), &old) == 0;
  const bool keepMode = exists && S_ISREG(old.st_mode);
  if (exists && !S_ISDIR(old.st_mode)) {
    // A file the user may not write stays as it is, as it would if it were truncated in place.
    if (::access(target.c_str(), W_OK) != 0) return errno;
    if (!S_ISREG(old.st_mode)) return WriteInPlace(target, bytes, false);
  }

  // The open applies the umask. A replacement is readable by its owner only until it has the old file's
  // permissions, so a file kept private never shows its new content to others.
  const mode_t createMode = keepMode ? 0600 : 0666;
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    temp = target.string() + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, createMode);
    // The folder takes no new file, but the file itself may be written (checked above): written in place
    // rather than lost. Not atomic, but the only way left.
    if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS) && keepMode)
      return WriteInPlace(target, bytes, true);
    if (fd < 0 && (errno != EEXIST || attempt >= 100)) return errno;
  }
  int error = WriteAll(fd, bytes) ? 0 : errno;
  // Not fatal: the replacement then stays private to its owner, never more open than the old file.
  if (error == 0 && keepMode) (void)::fchmod(fd, old.st_mode & 07777);
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    return error;
  }
  SyncFolder(target);
  return 0;
}

#endif

}  // namespace velnorex
