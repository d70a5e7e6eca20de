#pragma once
// The compose boxes MTexto and MTexto_hardway: a plain-text memo of at most 409 characters in
// which Enter and Esc never edit the text but go to a handler (the messaging core sends or
// cancels), exactly like the key-press handler of the original memo.
//
// The limit counts characters as the text will travel: every line break is the two bytes CR LF
// and every other character one Windows-1252 byte. It is kept on every road into the box
// (typing, input methods, paste and drop), so the text handed on is never longer than 409.

#include <QLineEdit>
#include <QPlainTextEdit>
#include <functional>
#include <string>

#include "messaging/ComposeKeys.h"

class QKeyEvent;

namespace pelmora {

// kKeyEnter for Return and Enter, kKeyEscape for Esc, 0 for any other key.
int EnterOrEscape(const QKeyEvent* e);

class ComposeMemo : public QPlainTextEdit {
  Q_OBJECT
 public:
  static constexpr int kMaxLength = 409;

  explicit ComposeMemo(QWidget* parent = nullptr);

  // Gets the key (kKeyEnter, kKeyEscape) and returns true when it consumed it.
  std::function<bool(int key)> onKeyPress;

  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int n) { maxLength_ = n; }

  // The text as the rest of the program holds it: Windows-1252 with CR LF line breaks.
  std::string AnsiText() const;

  // Length of a text under the rule above.
  static int CountedLength(const QString& text);

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void inputMethodEvent(QInputMethodEvent* e) override;
  void insertFromMimeData(const QMimeData* source) override;
  bool canInsertFromMimeData(const QMimeData* source) const override;

 private:
  // How many counted characters may still be inserted in place of the current selection.
  int Room() const;
  // The longest head of `text` that fits in `room`.
  static QString FitInto(const QString& text, int room);
  void EnforceLimit();

  int maxLength_ = kMaxLength;
  bool enforcing_ = false;
};

// The one-line name fields EReceptor and EReceptor_hardway: Enter and Esc go to the window's
// handler, which decides whether they are consumed.
class KeyLineEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit KeyLineEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}
  std::function<bool(int key)> onKeyPress;

 protected:
  void keyPressEvent(QKeyEvent* e) override;
};

}  // namespace pelmora
