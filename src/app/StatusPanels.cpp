#include "app/StatusPanels.h"

#include <QLabel>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QTime>
#include <QTimer>
#include <algorithm>

namespace pelmora {

StatusPanels::StatusPanels(std::initializer_list<int> widths, QWidget* parent) : QWidget(parent) {
  int left = 0;
  for (int width : widths) {
    if (count_ == kMaxPanels) break;
    auto* label = new QLabel(this);
    label->setTextFormat(Qt::PlainText);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setIndent(2);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Two pixels between the panels, as the classic status bar draws them; one pixel of the bar
    // above them.
    label->setGeometry(left, 2, width - 2, 17);
    // The label passes clicks to the bar, where the own-name gesture is seen.
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    widths_[count_] = width;
    labels_[count_++] = label;
    left += width;
  }
  message_ = new QLabel(this);
  message_->setObjectName(QStringLiteral("StatusMessage"));
  message_->setTextFormat(Qt::PlainText);
  message_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  message_->setIndent(2);
  message_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  message_->setAttribute(Qt::WA_TransparentForMouseEvents);
  // It hides the panels below it, text and all.
  message_->setAutoFillBackground(true);
  if (count_ > 0) {
    const QRect last = labels_[std::min(count_, 2) - 1]->geometry();
    message_->setGeometry(QRect(labels_[0]->geometry().topLeft(), last.bottomRight()));
  }
  message_->hide();
  messageTimer_ = new QTimer(this);
  messageTimer_->setSingleShot(true);
  messageTimer_->setInterval(kMessageMs);
  connect(messageTimer_, &QTimer::timeout, this, &StatusPanels::ClearMessage);
}

void StatusPanels::ShowMessage(const QString& text) {
  if (count_ == 0) return;
  message_->setText(text);
  message_->raise();
  message_->show();
  messageTimer_->start();
}

void StatusPanels::ClearMessage() {
  messageTimer_->stop();
  message_->hide();
  message_->clear();
}

QString StatusPanels::MessageText() const {
  return message_->isHidden() ? QString() : message_->text();
}

void StatusPanels::SetPanelText(int panel, const QString& text) {
  if (panel < 0 || panel >= count_) return;
  if (panel < 2 && labels_[panel]->text() != text) ClearMessage();
  // The same text again would only lay the label out and announce it anew.
  if (labels_[panel]->text() == text) return;
  labels_[panel]->setText(text);
}

QString StatusPanels::PanelText(int panel) const {
  if (panel < 0 || panel >= count_) return {};
  return labels_[panel]->text();
}

QRect StatusPanels::PanelRect(int panel) const {
  if (panel < 0 || panel >= count_) return {};
  return labels_[panel]->geometry();
}

void StatusPanels::SetClock(int panel, std::function<QString()> text) {
  clockPanel_ = panel;
  clockText_ = std::move(text);
  if (clockTimer_ == nullptr) {
    clockTimer_ = new QTimer(this);
    clockTimer_->setSingleShot(true);
    // Precise, so that the tick lands just after the change of second it waits for.
    clockTimer_->setTimerType(Qt::PreciseTimer);
    connect(clockTimer_, &QTimer::timeout, this, &StatusPanels::TickClock);
  }
  if (isVisible()) TickClock();
}

bool StatusPanels::ClockRunning() const { return clockTimer_ && clockTimer_->isActive(); }

void StatusPanels::TickClock() {
  if (!clockText_ || !isVisible()) return;
  SetPanelText(clockPanel_, clockText_());
  // The shown text changes once a second; waking more often would only redraw the same text.
  // A few milliseconds past the change, so a timer that fires a little early still sees it.
  clockTimer_->start(1000 - QTime::currentTime().msec() + 5);
}

void StatusPanels::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  TickClock();  // a window coming back shows the time at once, not a stale one
}

void StatusPanels::hideEvent(QHideEvent* e) {
  QWidget::hideEvent(e);
  if (clockTimer_) clockTimer_->stop();
}

void StatusPanels::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  if (count_ == 0) return;
  QLabel* last = labels_[count_ - 1];
  const int width = std::max(widths_[count_ - 1], this->width() - last->x());
  last->resize(width - 2, last->height());
}

void StatusPanels::mousePressEvent(QMouseEvent* e) {
  emit MouseDown(e->button(), e->modifiers(), e->position().toPoint());
  QWidget::mousePressEvent(e);
}

}  // namespace pelmora
