// The font the two dialogs lay themselves out with. Positions and sizes of
// their controls are given in dialog units, which follow from this font's
// average character width and height.
#pragma once

#include <wx/font.h>

namespace velmira::app {

// A proportional font of the given size that has the Japanese glyphs, when
// one is installed; otherwise the toolkit's usual face at that size.
wxFont DialogFont(int points);

}  // namespace velmira::app
