#pragma once
// The localised texts of the interface: 53 rows, each in Spanish, German and English, stored as
// Windows-1252 bytes. Rows are numbered from 1; the language index is 0 Spanish, 1 German,
// 2 English. An "&" marks the keyboard accelerator of a caption.

#include <string>

namespace pelmora {

inline constexpr int kTextRowCount = 53;
inline constexpr int kLanguageCount = 3;

inline constexpr int kLanguageSpanish = 0;
inline constexpr int kLanguageGerman = 1;
inline constexpr int kLanguageEnglish = 2;

// The text of row 1..53 in language 0..2. A row or language outside those ranges gives an empty
// string. The reference stays valid for the whole run.
const std::string& LocalText(int row, int languageIndex);

}  // namespace pelmora
