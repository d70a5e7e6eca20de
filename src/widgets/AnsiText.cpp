#include "widgets/AnsiText.h"

#include <QTextDocument>

#include "text/CodePage.h"

namespace pelmora {

QString ToQ(const std::string& ansi) { return QString::fromStdString(text::AnsiToUtf8(ansi)); }

std::string FromQ(const QString& text) { return text::Utf8ToAnsi(text.toStdString()); }

QString PlainTip(const QString& text) {
  if (text.isEmpty()) return {};
  return Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

}  // namespace pelmora
