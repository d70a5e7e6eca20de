// Colour texts as the settings hold them ("clAqua", "$00FF8000", a decimal number): any text
// either gives a colour or nothing, and a colour written back as text reads as the same colour.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "model/Colors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelmora;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto colour = StringToColor(text)) {
    const std::string written = ColorToString(*colour);
    const auto back = StringToColor(written);
    if (!back || *back != *colour) std::abort();
  }
  (void)IdentToColor(text);
  return 0;
}
