// Whole-file reading and writing, and the tracked memory that holds every
// loaded frame until the job ends.
//
//   AllocationRegistry reg;
//   void* block; int32_t length;
//   std::string m = ReadWholeFile(reg, fs, &block, &length, 0, "a0001.bmp");
//   ...
//   reg.TrackedAlloc(0);   // frees every block at once
//
// Failures are message strings (empty on success); nothing is thrown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmira {

namespace platform {
class FileSystem;
class TempFileWatcher;
}  // namespace platform

class AllocationRegistry {
 public:
  static constexpr int32_t kCapacity = 16384;

  AllocationRegistry();
  ~AllocationRegistry();
  AllocationRegistry(const AllocationRegistry&) = delete;
  AllocationRegistry& operator=(const AllocationRegistry&) = delete;

  // n != 0: a block of n bytes (n taken as unsigned), registered even when
  // the request fails (null). n == 0: frees every block, newest first, and
  // returns null.
  void* TrackedAlloc(int32_t n);
  int32_t count() const { return static_cast<int32_t>(slots_.size()); }

 private:
  struct Slot {
    void* block;
    size_t mapped;  // length of a mapping; 0 for a heap block
  };
  static void Free(const Slot& slot);
  std::vector<Slot> slots_;
};

// Loads a whole file into a tracked block of length + extra bytes, the extra
// ones zero. Messages: not found (the folder exists, the file does not),
// cannot open, no memory (an empty file with extra 0 too), read error.
std::string ReadWholeFile(AllocationRegistry& registry,
                          platform::FileSystem& fs, void** block,
                          int32_t* length, int32_t extra,
                          const std::string& name);

// Creates or replaces a file with the buffer's bytes, or returns the create
// message. The old file survives any failure.
std::string WriteWholeFile(platform::FileSystem& fs, const void* buffer,
                           int32_t length, const std::string& name,
                           platform::TempFileWatcher* watcher = nullptr);

}  // namespace velmira
