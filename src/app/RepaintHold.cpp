#include "app/RepaintHold.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace pelmora {

RepaintHold::RepaintHold(QWidget* window, int longestMs)
    : QObject(window), window_(window), limit_(new QTimer(this)), longestMs_(longestMs) {
  limit_->setSingleShot(true);
  connect(limit_, &QTimer::timeout, this, [this] { Release(); });
  window_->installEventFilter(this);
}

void RepaintHold::Hold() {
  if (holding_) return;
  holding_ = true;
  limit_->start(longestMs_);
}

void RepaintHold::Release() {
  if (!holding_) return;
  holding_ = false;
  limit_->stop();
  if (!repaintAsked_) return;
  repaintAsked_ = false;
  // Qt asks for one repaint at a time and waits until it is done before it asks again; the one
  // held back is asked for anew, the way Qt itself does.
  QCoreApplication::postEvent(window_, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
}

bool RepaintHold::eventFilter(QObject* watched, QEvent* event) {
  if (holding_ && watched == window_ && event->type() == QEvent::UpdateRequest) {
    repaintAsked_ = true;
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace pelmora
