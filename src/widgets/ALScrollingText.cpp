#include "widgets/ALScrollingText.h"

#include <QGuiApplication>

#include <QFontMetrics>
#include <algorithm>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <string>

#include "widgets/AnsiText.h"

namespace pelmora {

namespace scrolling {

int TimerInterval(int speed) {
  if (speed <= 0) return 0;
  return speed < kMinimumInterval ? kMinimumInterval : speed;
}

namespace {

int Channel(TColor c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }

// a / b rounded to the nearest integer, halves away from zero (b > 0).
int DivRoundHalfAway(int a, int b) {
  if (a >= 0) return (2 * a + b) / (2 * b);
  return -((-2 * a + b) / (2 * b));
}

}  // namespace

TColor FadeColorRgb(TColor start, TColor end, int index, int count) {
  if (index < 1 || index > count) {
    throw ERangeError("ColorIndex can't be less than 1 or greater than " + std::to_string(count));
  }
  // A run of one colour has nowhere to go: its only column is the start (background) colour.
  if (count == 1) return start & 0x00FFFFFF;
  TColor out = 0;
  for (int shift : {0, 8, 16}) {
    const int s = Channel(start, shift);
    const int e = Channel(end, shift);
    const int value = s + DivRoundHalfAway((index - 1) * (e - s), count - 1);
    out |= static_cast<TColor>(((value % 256) + 256) % 256) << shift;
  }
  return out;
}

int NextTextOffset(int offset, int jump, TTextDirection direction, int controlWidth, int stripWidth) {
  const int limit = controlWidth - stripWidth;
  // Wide arithmetic: a PixelJump near the integer limits must wrap the strip, not the number.
  if (direction == TTextDirection::tdRightToLeft) {
    const long long next = static_cast<long long>(offset) - jump;
    return next <= limit ? 0 : static_cast<int>(next);
  }
  const long long next = static_cast<long long>(offset) + jump;
  return next >= 0 ? limit : static_cast<int>(next);
}

int StartOffset(TTextDirection direction, int controlWidth, int stripWidth) {
  return direction == TTextDirection::tdRightToLeft ? 0 : controlWidth - stripWidth;
}

int TextRow(TTextLayout layout, int controlHeight, int textHeight) {
  switch (layout) {
    case TTextLayout::tlTop:
      return 0;
    case TTextLayout::tlBottom:
      return controlHeight - textHeight;
    case TTextLayout::tlCenter:
      break;
  }
  return controlHeight / 2 - textHeight / 2;
}

}  // namespace scrolling

TColor FadeColor(TColor start, TColor end, int index, int count) {
  auto rgb = [](TColor c) { return (c & kSystemColorFlag) ? FromQColor(ToQColor(c, QGuiApplication::palette())) : c; };
  return scrolling::FadeColorRgb(rgb(start), rgb(end), index, count);
}

TALScrollingText::TALScrollingText(QWidget* parent) : QWidget(parent) {
  timer_ = new QTimer(this);
  timer_->setTimerType(Qt::CoarseTimer);
  connect(timer_, &QTimer::timeout, this, &TALScrollingText::ScrollStep);
  // The frame is composed off-screen and covers the whole area: nothing underneath needs
  // painting first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(50, 18);
  textOffset_ = -width();
  BuildBitmaps();
  UpdateTimer();
}

TALScrollingText::~TALScrollingText() = default;

QColor TALScrollingText::Resolve(TColor color) const {
  QColor c = ToQColor(color, palette());
  return c.isValid() ? c : QColor(Qt::black);
}

void TALScrollingText::SetText(const std::string& text) {
  if (text == text_) return;
  text_ = text;
  BuildBitmaps();
  update();
}

void TALScrollingText::SetSpeed(int milliseconds) {
  if (milliseconds == speed_) return;
  speed_ = milliseconds;
  UpdateTimer();
}

void TALScrollingText::SetBackgroundColor(TColor color) {
  if (color == backgroundColor_) return;
  backgroundColor_ = color;
  BuildBitmaps();
  update();
}

void TALScrollingText::SetFontColor(TColor color) {
  if (color == fontColor_) return;
  fontColor_ = color;
  BuildBitmaps();
  update();
}

void TALScrollingText::SetEdgeFadeWidth(int width) {
  if (width == edgeFadeWidth_) return;
  edgeFadeWidth_ = width;
  BuildBitmaps();
  update();
}

void TALScrollingText::SetLayout(TTextLayout layout) {
  if (layout == layout_) return;
  layout_ = layout;
  BuildBitmaps();
  update();
}

void TALScrollingText::SetTextDirection(TTextDirection direction) {
  if (direction == textDirection_) return;
  textDirection_ = direction;
  textOffset_ = scrolling::StartOffset(direction, width(), textStrip_.width());
  BuildBitmaps();
  update();
}

void TALScrollingText::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  SetEnabled(visible);
  QWidget::setVisible(visible);
}

void TALScrollingText::SetEnabled(bool enabled) {
  enabled_ = enabled;
  UpdateTimer();
}

void TALScrollingText::Loaded() {
  BuildBitmaps();
  textOffset_ = scrolling::StartOffset(textDirection_, width(), textStrip_.width());
  update();
}

bool TALScrollingText::TimerRunning() const { return timer_->isActive(); }

int TALScrollingText::TimerIntervalMs() const { return timer_->interval(); }

void TALScrollingText::UpdateTimer() {
  const int interval = scrolling::TimerInterval(speed_);
  // Ticks are only worth having while the text can move and someone can see it.
  const bool run = interval > 0 && enabled_ && visible_ && isVisible();
  if (!run) {
    timer_->stop();
    return;
  }
  if (timer_->interval() != interval) timer_->setInterval(interval);
  if (!timer_->isActive()) timer_->start();
}

void TALScrollingText::ScrollStep() {
  if (!enabled_) return;
  textOffset_ = scrolling::NextTextOffset(textOffset_, pixelJump_, textDirection_, width(), textStrip_.width());
  update();
}

void TALScrollingText::BuildBitmaps() {
  const int w = std::max(0, width());
  const int h = std::max(0, height());
  const QColor background = Resolve(backgroundColor_);
  const QColor foreground = Resolve(fontColor_);
  const QString shown = ToQ(text_);
  const QFontMetrics metrics(font());
  const int textWidth = metrics.horizontalAdvance(shown);

  textStrip_ = QImage(textWidth + 2 * w, h, QImage::Format_ARGB32_Premultiplied);
  textStrip_.fill(background);
  if (!textStrip_.isNull() && !shown.isEmpty()) {
    // The text is cut out of the strip's alpha: where a glyph covers a pixel, the mask's colour
    // beneath will show (partly, at the glyph's anti-aliased edges).
    QPainter p(&textStrip_);
    p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    p.setFont(font());
    p.setPen(QColor(0, 0, 0, 255));
    const int y = scrolling::TextRow(layout_, h, metrics.height());
    p.drawText(QPoint(w, y + metrics.ascent()), shown);
  }

  fadeMask_ = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
  fadeMask_.fill(foreground);
  if (edgeFadeWidth_ > 0 && !fadeMask_.isNull()) {
    QPainter p(&fadeMask_);
    const TColor bg = FromQColor(background);
    const TColor fg = FromQColor(foreground);
    for (int i = 0; i < edgeFadeWidth_ && i < w; ++i) {
      p.setPen(ToQColor(scrolling::FadeColorRgb(bg, fg, i + 1, edgeFadeWidth_), palette()));
      p.drawLine(i, 0, i, h - 1);
      p.drawLine(w - i - 1, 0, w - i - 1, h - 1);
    }
  }

  workBitmap_ = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
}

QImage TALScrollingText::ComposeFrame() {
  if (workBitmap_.size() != size()) BuildBitmaps();
  if (workBitmap_.isNull()) return workBitmap_;
  QPainter p(&workBitmap_);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.drawImage(0, 0, fadeMask_);
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  p.drawImage(textOffset_, 0, textStrip_);
  p.end();
  return workBitmap_;
}

void TALScrollingText::paintEvent(QPaintEvent*) {
  const QImage& frame = ComposeFrame();
  QPainter p(this);
  p.drawImage(0, 0, frame);
}

void TALScrollingText::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  BuildBitmaps();
}

void TALScrollingText::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) BuildBitmaps();
}

void TALScrollingText::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  UpdateTimer();
}

void TALScrollingText::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  UpdateTimer();
}

void TALScrollingText::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
  emit OnMouseDown(event->button(), event->modifiers(), event->position().toPoint());
}

void TALScrollingText::mouseReleaseEvent(QMouseEvent* event) {
  emit OnMouseUp(event->button(), event->modifiers(), event->position().toPoint());
  if (pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    pressed_ = false;
    emit OnClick();
  }
}

}  // namespace pelmora
