#pragma once
// The one road between the program's texts and Qt. Inside the program a text is Windows-1252
// bytes, as on the wire and in the files; a Qt control holds UTF-16. Every text that meets a
// control crosses here, so no other conversion (and none of Qt's implicit ASCII casts) is needed.

#include <QString>
#include <string>

namespace pelmora {

// Windows-1252 bytes to a QString; every byte maps to one character.
QString ToQ(const std::string& ansi);
// A QString to Windows-1252 bytes; a character the code page lacks becomes "?".
std::string FromQ(const QString& text);

// A tool tip that shows its text literally: Qt takes a tip that looks like markup for rich text,
// and names, group members and texts come from the address book and the network. Empty stays
// empty (no tip).
QString PlainTip(const QString& text);

}  // namespace pelmora
