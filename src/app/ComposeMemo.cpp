#include "app/ComposeMemo.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>
#include <QTextDocumentFragment>

#include "widgets/AnsiText.h"

namespace pelmora {

namespace {

bool IsLineBreak(QChar c) {
  return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

// Paragraphs of a pasted text: CR LF, CR and LF all end a line.
QString NormalizeBreaks(const QString& text) {
  QString out = text;
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  out.replace(u'\r', u'\n');
  return out;
}

}  // namespace

ComposeMemo::ComposeMemo(QWidget* parent) : QPlainTextEdit(parent) {
  setTabChangesFocus(true);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  // Anything that slipped past the checks below (an undo, a drag from another program) is cut
  // back at the end, so the limit holds whatever happened.
  connect(this, &QPlainTextEdit::textChanged, this, &ComposeMemo::EnforceLimit);
}

int ComposeMemo::CountedLength(const QString& text) {
  int n = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c.isLowSurrogate()) continue;  // one character, one byte in Windows-1252 ("?")
    if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
      n += 2;
      ++i;
      continue;
    }
    n += IsLineBreak(c) ? 2 : 1;
  }
  return n;
}

QString ComposeMemo::FitInto(const QString& text, int room) {
  if (room <= 0) return {};
  int used = 0;
  qsizetype i = 0;
  while (i < text.size()) {
    const QChar c = text[i];
    qsizetype width = 1;
    int cost = 1;
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) width = 2;
    if (IsLineBreak(c)) cost = 2;
    if (used + cost > room) break;
    used += cost;
    i += width;
  }
  return text.left(i);
}

int ComposeMemo::Room() const {
  const QTextCursor cursor = textCursor();
  const int selected = CountedLength(cursor.selection().toPlainText());
  return maxLength_ - (CountedLength(toPlainText()) - selected);
}

std::string ComposeMemo::AnsiText() const {
  QString text = toPlainText();
  text.replace(u'\n', QStringLiteral("\r\n"));
  return FromQ(text);
}

int EnterOrEscape(const QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return kKeyEnter;
    case Qt::Key_Escape:
      return kKeyEscape;
    default:
      return 0;
  }
}

void ComposeMemo::keyPressEvent(QKeyEvent* e) {
  const int code = EnterOrEscape(e);
  if (code != 0) {
    // The memo never takes Enter as a line break: with a handler it is the handler's key, and
    // without one it is dropped all the same.
    if (onKeyPress) onKeyPress(code);
    e->accept();
    return;
  }
  const Qt::KeyboardModifiers mods = e->modifiers();
  const QString text = e->text();
  const bool printable =
      !text.isEmpty() && !text.at(0).isNull() && (text.at(0).isPrint() || text.at(0) == u'\t');
  // Alt with a letter or digit is a window shortcut, never a character of the message.
  if (printable && (mods & Qt::AltModifier) && !(mods & Qt::ControlModifier)) {
    e->ignore();
    return;
  }
  if (printable && !(mods & Qt::ControlModifier) && CountedLength(text) > Room()) {
    e->accept();  // refused, as the memo's maximum length refuses it
    return;
  }
  QPlainTextEdit::keyPressEvent(e);
}

void ComposeMemo::inputMethodEvent(QInputMethodEvent* e) {
  const QString commit = e->commitString();
  if (!commit.isEmpty() && CountedLength(commit) > Room()) {
    const QString fitted = FitInto(commit, Room());
    QInputMethodEvent cut(e->preeditString(), e->attributes());
    cut.setCommitString(fitted, e->replacementStart(), e->replacementLength());
    QPlainTextEdit::inputMethodEvent(&cut);
    e->accept();
    return;
  }
  QPlainTextEdit::inputMethodEvent(e);
}

bool ComposeMemo::canInsertFromMimeData(const QMimeData* source) const { return source->hasText(); }

void ComposeMemo::insertFromMimeData(const QMimeData* source) {
  if (!source->hasText()) return;
  // Only the plain text of what is pasted is taken, never markup, and only as much as fits.
  const QString fitted = FitInto(NormalizeBreaks(source->text()), Room());
  if (fitted.isEmpty()) return;
  textCursor().insertText(fitted);
  ensureCursorVisible();
}

void ComposeMemo::EnforceLimit() {
  if (enforcing_) return;
  const QString text = toPlainText();
  if (CountedLength(text) <= maxLength_) return;
  enforcing_ = true;
  const QString fitted = FitInto(text, maxLength_);
  QTextCursor cursor(document());
  cursor.setPosition(static_cast<int>(fitted.size()));
  cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
  enforcing_ = false;
}

void KeyLineEdit::keyPressEvent(QKeyEvent* e) {
  const int code = EnterOrEscape(e);
  if (code != 0 && onKeyPress && onKeyPress(code)) {
    e->accept();
    return;
  }
  QLineEdit::keyPressEvent(e);
}

}  // namespace pelmora
