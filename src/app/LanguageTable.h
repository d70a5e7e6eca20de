#pragma once
// The captions and hints of the main window's controls, each with the row of the text table it
// takes: one table, so that a control left out is seen in one place and the window test walks it.
// Texts that depend on the state (status panels, the tray menu's first entry) are written by the
// window itself, with the same rows.

#include <cstdint>
#include <string_view>
#include <vector>

class QWidget;

namespace pelmora {

enum class LocalisedProperty : std::uint8_t {
  Caption,      // the control's text
  Hint,         // its tool tip, always plain text
  Description,  // the hint of a pane that shows none: its accessible description
};

struct LanguageTableEntry {
  std::string_view control;  // object name
  LocalisedProperty property;
  int row;
};

// In the order the texts are written.
const std::vector<LanguageTableEntry>& MainWindowLanguageTable();

// Writes every entry of the table, in the language given (0 Spanish, 1 German, 2 English), into
// the control of that name under `root`. Returns how many entries found no control.
int ApplyLanguageTable(QWidget* root, int languageIndex);

}  // namespace pelmora
