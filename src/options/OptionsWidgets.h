#pragma once
// The edit that lies over a "new ..." button of the options dialog while a name is typed.

#include <QLineEdit>

#include "widgets/AnsiText.h"

namespace pelmora::options {

// The edit in which a new name or group is typed: Enter commits, Esc cancels, and leaving the
// edit acts as Enter. Enter on an empty edit acts as Esc.
class EntryEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit EntryEdit(QWidget* parent = nullptr);

 signals:
  void Committed();
  void Cancelled();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void Finish(bool commit);
  bool finishing_ = false;
};

}  // namespace pelmora::options
