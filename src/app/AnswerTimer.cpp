#include "app/AnswerTimer.h"

#include <QTimer>

namespace pelmora {

AnswerTimer::AnswerTimer(std::function<void()> check, std::function<bool()> pending,
                         QObject* parent)
    : QObject(parent),
      check_(std::move(check)),
      pending_(std::move(pending)),
      timer_(new QTimer(this)) {
  timer_->setObjectName(QStringLiteral("Timer"));
  timer_->setInterval(kIntervalMs);
  connect(timer_, &QTimer::timeout, this, &AnswerTimer::Tick);
}

void AnswerTimer::Arm() {
  if (!timer_->isActive()) timer_->start();
}

void AnswerTimer::Tick() {
  check_();
  if (!pending_()) timer_->stop();
}

}  // namespace pelmora
