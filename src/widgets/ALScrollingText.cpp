#include "widgets/ALScrollingText.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <string>
#include <utility>

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

int NextTextOffset(int offset, int jump, TTextDirection direction, int controlWidth,
                   int stripWidth) {
  const int limit = controlWidth - stripWidth;
  // Wide arithmetic: a PixelJump near the integer limits must wrap the strip, not the number.
  if (direction == TTextDirection::tdRightToLeft) {
    const long long next = static_cast<long long>(offset) - jump;
    return next <= limit ? 0 : static_cast<int>(next);
  }
  const long long next = static_cast<long long>(offset) + jump;
  return next >= 0 ? limit : static_cast<int>(next);
}

QRect MovedArea(int before, int after, int controlWidth, int textLeft, int textWidth, int textTop,
                int textHeight) {
  if (textWidth <= 0 || textHeight <= 0 || controlWidth <= 0) return {};
  // The text's columns in the control at one offset, as a half-open span (empty when outside).
  auto span = [&](int offset) {
    const long long left = static_cast<long long>(offset) + textLeft;
    return std::pair<long long, long long>{std::max<long long>(left, 0),
                                           std::min<long long>(left + textWidth, controlWidth)};
  };
  long long left = controlWidth;
  long long right = 0;
  for (const auto& [l, r] : {span(before), span(after)}) {
    if (l >= r) continue;
    left = std::min(left, l);
    right = std::max(right, r);
  }
  if (left >= right) return {};
  return QRect(static_cast<int>(left), textTop, static_cast<int>(right - left), textHeight);
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
  auto rgb = [](TColor c) {
    return (c & kSystemColorFlag) ? FromQColor(ToQColor(c, QGuiApplication::palette())) : c;
  };
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
  const int before = textOffset_;
  textOffset_ = scrolling::NextTextOffset(textOffset_, pixelJump_, textDirection_, width(),
                                          textStrip_.width());
  // Only the columns the text covered or covers now change; the rest of the frame is the mask,
  // which stays put. While the text is outside the banner nothing changes at all.
  const QRect moved = scrolling::MovedArea(before, textOffset_, width(), textLeft_, textWidth_,
                                           textTop_, textHeight_);
  if (moved.isEmpty() || !isVisible()) return;
  // At once, as the step's own work: a deferred update would be one more event per step.
  repaint(moved);
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
  // Where the text's pixels lie in the strip: what a step has to redraw. The bounding box of
  // the glyphs can reach beyond the advance (italic overhangs), so both are taken.
  const QRect ink = metrics.boundingRect(shown);
  const int y = scrolling::TextRow(layout_, h, metrics.height());
  textLeft_ = w + std::min(0, ink.left());
  textWidth_ = shown.isEmpty() ? 0 : std::max(textWidth, ink.right() + 1) - std::min(0, ink.left());
  textTop_ = std::max(0, y + metrics.ascent() + ink.top());
  textHeight_ = shown.isEmpty()
                    ? 0
                    : std::max(0, std::min(h, y + metrics.ascent() + ink.bottom() + 1) - textTop_);

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

void TALScrollingText::paintEvent(QPaintEvent* event) {
  if (fadeMask_.size() != size()) BuildBitmaps();
  // Straight into the window's buffer, only where it was asked for: the mask, then the strip
  // over it. The same composition as ComposeFrame, without a frame of its own.
  const QRect area = event->rect();
  QPainter p(this);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.drawImage(area.topLeft(), fadeMask_, area);
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  p.drawImage(area.topLeft(), textStrip_, area.translated(-textOffset_, 0));
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
  if (pressed_ && event->button() == Qt::LeftButton &&
      rect().contains(event->position().toPoint())) {
    pressed_ = false;
    emit OnClick();
  }
}

}  // namespace pelmora
