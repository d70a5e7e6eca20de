#include "app/TimeText.h"

#include <QLocale>
#include <QTime>

namespace pelmora {

QString StripDesignatorsFromTimeFormat(const QString& format) {
  QString out;
  const qsizetype n = format.size();
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = format[i];
    if (c == u'\'') {
      // A quoted literal runs to the next quote; two quotes in a row stand for one.
      qsizetype j = i + 1;
      while (j < n && format[j] != u'\'') ++j;
      out += format.mid(i, j - i + 1);
      i = j;
      continue;
    }
    if (c == u'A' || c == u'a') {
      if (i + 1 < n && (format[i + 1] == u'P' || format[i + 1] == u'p')) ++i;
      continue;
    }
    if (c == u't') {
      while (i + 1 < n && format[i + 1] == u't') ++i;
      continue;
    }
    out += c;
  }
  // The dropped fields leave their separating blanks behind ("h:mm:ss  " or " h:mm").
  return out.simplified();
}

QString SystemLongTimeFormat() {
  return StripDesignatorsFromTimeFormat(QLocale::system().timeFormat(QLocale::LongFormat));
}

QString FormatTimeOfDay(DateTime when, const QString& format) {
  int hour = 0, minute = 0, second = 0;
  DecodeTime(when, hour, minute, second);
  return QTime(hour, minute, second).toString(format);
}

}  // namespace pelmora
