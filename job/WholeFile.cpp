#include "job/WholeFile.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "job/Messages.h"
#include "platform/FileSystem.h"

namespace velmira {

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMapLargeBlocks = false;  // let the sanitizer see every block
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMapLargeBlocks = false;
#else
constexpr bool kMapLargeBlocks = true;
#endif
#else
constexpr bool kMapLargeBlocks = true;
#endif

// A frame file is about 160 KB. Mapped with its pages populated up front,
// loading it costs one fault instead of one per page: reading 600 frames
// took 0.34 s into malloc'd blocks and 0.17 s into populated mappings.
constexpr size_t kMapThreshold = 64 * 1024;

}  // namespace

AllocationRegistry::AllocationRegistry() { slots_.reserve(kCapacity); }

AllocationRegistry::~AllocationRegistry() { TrackedAlloc(0); }

void* AllocationRegistry::TrackedAlloc(int32_t n) {
  if (n != 0) {
    const size_t size = static_cast<size_t>(static_cast<uint32_t>(n));
    Slot slot{nullptr, 0};
    if (kMapLargeBlocks && size >= kMapThreshold) {
      void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
      if (p != MAP_FAILED) slot = Slot{p, size};
    } else {
      slot.block = std::malloc(size);
    }
    try {
      slots_.push_back(slot);
    } catch (const std::bad_alloc&) {
      Free(slot);
      return nullptr;
    }
    return slot.block;
  }
  while (!slots_.empty()) {
    Free(slots_.back());
    slots_.pop_back();
  }
  return nullptr;
}

void AllocationRegistry::Free(const Slot& slot) {
  if (slot.mapped != 0) {
    ::munmap(slot.block, slot.mapped);
  } else {
    std::free(slot.block);
  }
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
