#include "widgets/Controls.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

namespace pelmora {
namespace {

class InsertDeleteKeys : public QObject {
 public:
  InsertDeleteKeys(QObject* parent, std::function<void()> onInsert, std::function<void()> onDelete)
      : QObject(parent), onInsert_(std::move(onInsert)), onDelete_(std::move(onDelete)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyRelease) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Insert) {
        onInsert_();
        return true;
      }
      if (key == Qt::Key_Delete) {
        onDelete_();
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> onInsert_;
  std::function<void()> onDelete_;
};

}  // namespace

QPushButton* MakeButton(QWidget* parent, const char* name, QRect r, const char* caption) {
  auto* b = MakeControl<QPushButton>(parent, name, r);
  b->setText(QString::fromUtf8(caption));
  b->setAutoDefault(false);
  return b;
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, QRect r, const char* caption) {
  auto* c = MakeControl<QCheckBox>(parent, name, r);
  c->setText(QString::fromUtf8(caption));
  return c;
}

void OpenButtonEdit(QWidget* button, QLineEdit* edit) {
  button->hide();
  edit->clear();
  edit->show();
  edit->setFocus();
}

void CloseButtonEdit(QWidget* button, QLineEdit* edit, bool focusButton) {
  edit->clear();
  button->show();
  if (focusButton) button->setFocus();
  edit->hide();
}

void RefuseButtonEdit(QWidget* button, QLineEdit* edit) {
  QApplication::beep();
  if (edit->hasFocus()) {
    edit->selectAll();
  } else {
    CloseButtonEdit(button, edit, false);
  }
}

void ActOnInsertAndDelete(QWidget* list, std::function<void()> onInsert,
                          std::function<void()> onDelete) {
  list->installEventFilter(new InsertDeleteKeys(list, std::move(onInsert), std::move(onDelete)));
}

}  // namespace pelmora
