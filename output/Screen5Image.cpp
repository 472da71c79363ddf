#include "output/Screen5Image.h"

namespace velmira {

void EncodeScreen5Image(const IndexImage& index, const Palette& palette,
                        Screen5Image& image) {
  image.fill(0);
  for (int32_t r = 0; r < kMaxHeight; ++r) {
    uint8_t* line = image.data() + kScreen5BitmapOffset + 128 * r;
    for (int32_t x = 0; x < kMaxWidth; x += 2) {
      line[x / 2] = static_cast<uint8_t>(16 * index[r][x] + index[r][x + 1]);
    }
  }
  for (int32_t s = 0; s < kSlotCount; ++s) {
    const PaletteSlot& slot = palette.slots[s];
    image[kScreen5PaletteOffset + 2 * s] =
        static_cast<uint8_t>(16 * slot.r3 + slot.b3);
    image[kScreen5PaletteOffset + 2 * s + 1] = static_cast<uint8_t>(slot.g3);
  }
  image[0] = 0xFE;
  image[3] = 0x9F;
  image[4] = 0x76;
}

}  // namespace velmira

#include "job/WholeFile.h"

namespace velmira {

std::string WriteScreen5Image(platform::FileSystem& fs,
                              const Screen5Image& image,
                              const std::string& name,
                              platform::TempFileWatcher* watcher) {
  return WriteWholeFile(fs, image.data(), kScreen5FileSize, name, watcher);
}

}  // namespace velmira
