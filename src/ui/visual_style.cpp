#include "ui/visual_style.h"

#include <sstream>
#include <string>

#include "ui/error_box.h"

namespace {

VisualStyle style;

// Lines of "name = RRGGBB"; unknown names are ignored.
void ReadColours(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    size_t equals = line.find('=');
    if (equals == std::string::npos || line[0] == '#') continue;
    std::string name = line.substr(0, line.find_last_not_of(" \t", equals - 1) + 1);
    unsigned long rgb = std::stoul(line.substr(equals + 1), nullptr, 16);
    COLORREF colour = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    if (name == "panel") style.panel = colour;
    else if (name == "frame") style.frame = colour;
    else if (name == "fill") style.fill = colour;
    else if (name == "fill_light") style.fill_light = colour;
    else if (name == "text") style.text = colour;
  }
}

}  // namespace

const VisualStyle& CurrentVisualStyle() { return style; }

void ApplyVisualStyle(HINSTANCE instance) {
  HRSRC resource = FindResourceW(instance, L"ONYXBLUE", RT_RCDATA);
  HGLOBAL loaded = resource ? LoadResource(instance, resource) : nullptr;
  const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (!data) {
    ShowErrorBox(nullptr, "Style 'Onyx Blue' not found");
    return;
  }
  RunGuarded(nullptr, [&] {
    ReadColours(std::string(data, SizeofResource(instance, resource)));
    style.loaded = true;
  });
}
