#pragma once
// Clock texts of the main window: the system's long time format without any AM/PM designator,
// so a 12-hour locale shows "3:05:07" rather than "3:05:07 PM" in the narrow time column and in
// the status bar clock. The time-zone name that Qt's long formats carry is dropped as well: the
// conversation is always read on the machine that wrote it.

#include <QString>

#include "messaging/DateTime.h"

namespace pelmora {

// Removes the AM/PM ("AP", "ap", "A", "a") and time-zone ("t") fields of a Qt time format,
// with the blanks that separated them, and keeps quoted literals untouched.
QString StripDesignatorsFromTimeFormat(const QString& format);

// The format used by the window: the system locale's long time format, stripped as above.
QString SystemLongTimeFormat();

// `when` (its time of day) in `format`.
QString FormatTimeOfDay(DateTime when, const QString& format);

}  // namespace pelmora
