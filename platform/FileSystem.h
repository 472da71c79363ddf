// What whole-file I/O needs of the operating system, behind one small class
// so that tests can make a chosen operation fail (a read error halfway, a
// full disk at the third write) while everything else is the real thing.
//
// Opens are exclusive: a file that another program holds locked cannot be
// opened, for reading or for replacing.
#pragma once

#include <cstdint>
#include <string>

namespace velmira::platform {

enum class OpenStatus { kOk, kNotFound, kCannotOpen };

// Told of every temporary file while it exists, so that an interrupted
// process can remove it. Both calls must be async-signal-safe to read from a
// signal handler's point of view (the command line keeps a fixed table).
class TempFileWatcher {
 public:
  virtual ~TempFileWatcher() = default;
  virtual void TempCreated(const std::string& path) = 0;
  virtual void TempGone(const std::string& path) = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens an existing regular file for reading, exclusively. kNotFound only
  // when the folder exists and the file does not.
  virtual OpenStatus OpenForRead(const std::string& path, int* fd);
  virtual bool FileLength(int fd, int64_t* length);
  // Reads up to n bytes; returns how many arrived (fewer on error or EOF).
  virtual int64_t ReadUpTo(int fd, void* buffer, int64_t n);
  virtual void Close(int fd);

  // Replaces (or creates) path with exactly the given bytes: written to a
  // temporary name in the same folder and renamed over the target only when
  // complete. Symbolic links are kept: the file they name is replaced.
  // Refuses what a plain truncating open would refuse (a folder
  // that does not exist, a target that may not be written, a directory, a
  // file held open exclusively). On failure the old file is untouched and no
  // temporary file remains. Returns false on any failure.
  virtual bool ReplaceFile(const std::string& path, const void* data,
                           int64_t length, TempFileWatcher* watcher);

 protected:
  // The primitive steps of ReplaceFile, so a test can fail one of them.
  virtual int64_t WriteUpTo(int fd, const void* data, int64_t n);
  // Closes a written descriptor; a failure here is a failed write.
  virtual bool CloseWritten(int fd);
  virtual bool RenameOver(const std::string& from, const std::string& to);
};

// The process's real file system; stateless.
FileSystem& RealFileSystem();

}  // namespace velmira::platform
