#pragma once
// What the user may type as a name (own name, a new name, a new group): letters a-z become upper
// case as they are typed; "&" and control characters are refused, because the private datagrams
// join their fields with "&" and a name holding one would shift every field after it; and so are
// characters that Windows-1252 cannot hold, which would reach the wire as "?".
//
// The field keeps what was typed before a refused character; a paste loses only the refused
// characters.

#include <QValidator>

namespace pelmora {

class TypedNameValidator : public QValidator {
  Q_OBJECT
 public:
  explicit TypedNameValidator(QObject* parent = nullptr);

  State validate(QString& input, int& pos) const override;

  // The text as the validator leaves it.
  static QString Clean(const QString& text);
  static bool Refused(QChar c);
};

}  // namespace pelmora
