#include "app/DialogFont.h"

#include <wx/fontenum.h>
#include <wx/settings.h>

namespace velmira::app {

wxFont DialogFont(int points) {
  wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
  font.SetPointSize(points);
  static const bool haveCjk =
      wxFontEnumerator::IsValidFacename("Noto Sans CJK JP");
  if (haveCjk) font.SetFaceName("Noto Sans CJK JP");
  return font;
}

}  // namespace velmira::app
