#include "widgets/TypedNameValidator.h"

#include <string>

#include "widgets/AnsiText.h"

namespace pelmora {

TypedNameValidator::TypedNameValidator(QObject* parent) : QValidator(parent) {}

bool TypedNameValidator::Refused(QChar c) {
  const char16_t u = c.unicode();
  if (u == u'&' || u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0)) return true;
  if (u < 0x80) return false;
  // Half of a surrogate pair, or any other character the code page lacks.
  if (c.isSurrogate()) return true;
  const std::string ansi = FromQ(QString(c));
  return ansi.size() != 1 || ansi[0] == '?';
}

QString TypedNameValidator::Clean(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (QChar c : text) {
    if (Refused(c)) continue;
    const char16_t u = c.unicode();
    out += (u >= u'a' && u <= u'z') ? QChar(static_cast<char16_t>(u - u'a' + u'A')) : c;
  }
  return out;
}

QValidator::State TypedNameValidator::validate(QString& input, int& pos) const {
  // The caret stays after the same typed character, counting only the characters kept.
  const QString before = Clean(input.left(pos));
  input = before + Clean(input.mid(pos));
  pos = static_cast<int>(before.size());
  return Acceptable;
}

}  // namespace pelmora
