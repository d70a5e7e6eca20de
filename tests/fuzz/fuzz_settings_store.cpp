// The user's settings file of any content, and the Windows program's old ini file: the parsers,
// the round trip of what they read (writing a document and reading it back gives the same
// document), and the whole settings table loaded from it into the program's state, so a damaged
// or hostile file can neither crash the start nor put values into the state that break it.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "messaging/Settings.h"
#include "model/IniDocument.h"
#include "model/SettingsStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelmora;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const IniDocument doc = IniDocument::Parse(text);
  if (!(IniDocument::Parse(doc.Serialize()) == doc)) std::abort();
  const IniDocument legacy = IniDocument::ParseLegacy(text);
  if (!(IniDocument::Parse(legacy.Serialize()) == legacy)) std::abort();

  MemorySettingsStore store;
  store.Document() = doc;
  auto vars = std::make_unique<Variables>();
  WindowSettings window;
  LoadSettings(store, *vars, window);
  // What was loaded saves and loads again to the same state.
  MemorySettingsStore again;
  SaveSettings(again, *vars, window);
  auto vars2 = std::make_unique<Variables>();
  WindowSettings window2;
  LoadSettings(again, *vars2, window2);
  if (!(window2 == window)) std::abort();
  return 0;
}
