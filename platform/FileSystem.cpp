#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace velmira::platform {
namespace {

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Follows a symbolic link to the file it names, so that replacing the file
// keeps the link (a truncating open writes through links too).
std::string ResolveTarget(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string out(resolved);
  std::free(resolved);
  return out;
}

std::atomic<unsigned> tempCounter{0};

}  // namespace

OpenStatus FileSystem::OpenForRead(const std::string& path, int* fd) {
  // Non-blocking, so that a FIFO in place of a frame cannot hang the open.
  const int f =
      ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (f < 0) {
    if (errno == ENOENT && IsFolder(FolderOf(path))) {
      return OpenStatus::kNotFound;
    }
    return OpenStatus::kCannotOpen;
  }
  struct stat st {};
  if (::fstat(f, &st) != 0 || !S_ISREG(st.st_mode) ||
      ::flock(f, LOCK_EX | LOCK_NB) != 0) {
    ::close(f);
    return OpenStatus::kCannotOpen;
  }
  *fd = f;
  return OpenStatus::kOk;
}

bool FileSystem::FileLength(int fd, int64_t* length) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  *length = st.st_size;
  return true;
}

int64_t FileSystem::ReadUpTo(int fd, void* buffer, int64_t n) {
  auto* out = static_cast<char*>(buffer);
  int64_t done = 0;
  while (done < n) {
    const ssize_t got = ::read(fd, out + done, static_cast<size_t>(n - done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += got;
  }
  return done;
}

void FileSystem::Close(int fd) { ::close(fd); }

int64_t FileSystem::WriteUpTo(int fd, const void* data, int64_t n) {
  const auto* in = static_cast<const char*>(data);
  int64_t done = 0;
  while (done < n) {
    const ssize_t put = ::write(fd, in + done, static_cast<size_t>(n - done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    done += put;
  }
  return done;
}

bool FileSystem::CloseWritten(int fd) { return ::close(fd) == 0; }

bool FileSystem::RenameOver(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool FileSystem::ReplaceFile(const std::string& path, const void* data,
                             int64_t length, TempFileWatcher* watcher) {
  const std::string target = ResolveTarget(path);
  const std::string folder = FolderOf(target);

  // What a truncating open would refuse is refused here too, without
  // touching the old file: a directory, a file that may not be written, a
  // file another program holds exclusively.
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  int guard = -1;
  if (exists) {
    if (!S_ISREG(old.st_mode)) return false;
    guard = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (guard < 0) return false;
    if (::flock(guard, LOCK_EX | LOCK_NB) != 0) {
      ::close(guard);
      return false;
    }
  } else if (errno != ENOENT) {
    return false;
  }

  std::string slashFolder = folder == "/" ? "/" : folder + "/";
  const std::string base = target.substr(target.find_last_of('/') + 1);
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = slashFolder + "." + base + ".tmp" + std::to_string(::getpid()) +
           "-" + std::to_string(tempCounter.fetch_add(1));
    // Announced before it exists, so that an interrupt at any moment after
    // the create knows the name.
    if (watcher != nullptr) watcher->TempCreated(temp);
    // The kernel applies the umask to 0666, as for a plain create.
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      const int why = errno;
      if (watcher != nullptr) watcher->TempGone(temp);
      if (why != EEXIST) break;
    }
  }
  if (fd < 0) {
    if (guard >= 0) ::close(guard);
    return false;
  }
  if (exists) ::fchmod(fd, old.st_mode & 07777);

  bool ok = WriteUpTo(fd, data, length) == length;
  ok = CloseWritten(fd) && ok;
  ok = ok && RenameOver(temp, target);
  if (!ok) ::unlink(temp.c_str());
  if (watcher != nullptr) watcher->TempGone(temp);
  if (guard >= 0) ::close(guard);
  return ok;
}

FileSystem& RealFileSystem() {
  static FileSystem real;  // no state of its own
  return real;
}

}  // namespace velmira::platform
