#include "job/WholeFile.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "job/Messages.h"
#include "platform/FileSystem.h"

namespace velmira {

AllocationRegistry::AllocationRegistry() { slots_.reserve(kCapacity); }

AllocationRegistry::~AllocationRegistry() { TrackedAlloc(0); }

void* AllocationRegistry::TrackedAlloc(int32_t n) {
  if (n != 0) {
    void* block = std::malloc(static_cast<size_t>(static_cast<uint32_t>(n)));
    try {
      slots_.push_back(block);
    } catch (const std::bad_alloc&) {
      std::free(block);
      return nullptr;
    }
    return block;
  }
  while (!slots_.empty()) {
    std::free(slots_.back());
    slots_.pop_back();
  }
  return nullptr;
}

std::string ReadWholeFile(AllocationRegistry& registry,
                          platform::FileSystem& fs, void** block,
                          int32_t* length, int32_t extra,
                          const std::string& name) {
  int fd = -1;
  switch (fs.OpenForRead(name, &fd)) {
    case platform::OpenStatus::kOk:
      break;
    case platform::OpenStatus::kNotFound:
      return std::string(messages::kFileNotFound);
    case platform::OpenStatus::kCannotOpen:
      return std::string(messages::kCannotOpen);
  }
  int64_t size = 0;
  if (!fs.FileLength(fd, &size)) {
    fs.Close(fd);
    return std::string(messages::kReadError);
  }
  // No frame comes near 2 GiB; such a file cannot be held in one block.
  if (size < 0 ||
      size > int64_t{std::numeric_limits<int32_t>::max()} - extra) {
    fs.Close(fd);
    return std::string(messages::kNoMemory);
  }
  *length = static_cast<int32_t>(size);
  *block = registry.TrackedAlloc(*length + extra);
  if (*block == nullptr) {
    fs.Close(fd);
    return std::string(messages::kNoMemory);
  }
  std::string message;
  if (fs.ReadUpTo(fd, *block, *length) != *length) {
    message = messages::kReadError;
  }
  fs.Close(fd);
  std::memset(static_cast<char*>(*block) + *length, 0,
              static_cast<size_t>(extra));
  return message;
}

std::string WriteWholeFile(platform::FileSystem& fs, const void* buffer,
                           int32_t length, const std::string& name,
                           platform::TempFileWatcher* watcher) {
  if (!fs.ReplaceFile(name, buffer, length, watcher)) {
    return std::string(messages::kCannotCreate);
  }
  return {};
}

}  // namespace velmira
