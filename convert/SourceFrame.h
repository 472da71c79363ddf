// Source frames: the size checks, decoding into the pixel grid (top row
// first) and the colour histogram of 512 bins.
#pragma once

#include <string>

#include "convert/FrameTypes.h"

namespace velmira {

// Reads width and height from the header and refuses what the later stages
// cannot take. Empty message on success. Besides the width and size checks,
// a file too short for its header or its pixels, and a negative extent, get
// the size message; nothing is read past the loaded bytes.
std::string ReadFrameSize(const LoadedFrame& frame, FrameSize* size);

// Fills rows 0..H-1, columns 0..W-1 of the grid; the rest is left alone.
void DecodeFrame(const LoadedFrame& frame, const FrameSize& size,
                 PixelGrid& grid);

// The histogram DecodeFrame followed by CountColours gives, counted straight
// from the file's bytes into four partial histograms (so that runs of one
// colour do not wait on one counter), without the grid. Pass 1 uses it.
void CountFrameColours(const LoadedFrame& frame, const FrameSize& size,
                       ColourHistogram& histogram);

// Rebuilds a histogram from the grid over the picture's area.
void CountColours(const FrameSize& size, const PixelGrid& grid,
                  ColourHistogram& histogram);

}  // namespace velmira
