#pragma once
// TALScrollingText: one line of text moving horizontally through the control, like a news
// ticker, fading out towards both edges. A timer moves it PixelJump pixels every Speed
// milliseconds; it leaves on one side and comes back from the other.
//
// The text is rendered once per change into a strip as high as the control and as wide as the
// text plus twice the control's width (a blank of one control width on each side, so every wrap
// happens while the banner is empty and the loop is seamless). The fade mask (font colour, the
// outer EdgeFadeWidth columns running to the background colour) is made with it. A frame is the
// mask with the strip laid over it at TextOffset; the strip is background colour with the text's
// shapes cut out of its alpha, so the mask's colour shows through exactly where the text is. No
// key colour is involved, so any pair of text and background colours works.
//
// A step redraws only the band the text's pixels covered or cover now, at once and straight into
// the window's buffer: no frame of its own, no event per step, nothing allocated by the control.
//
// The timer runs only while the text can move: enabled, visible and Speed above 0. Intervals below
// 16 ms are raised to 16 ms (the coarsest tick the desktop had when the banner's interval of 1 was
// chosen, about 60 steps a second); a 1 ms timer would keep a core busy for a 73-pixel banner.

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "widgets/TColor.h"

class QTimer;

namespace pelmora {

enum class TTextLayout { tlTop, tlCenter, tlBottom };
enum class TTextDirection { tdLeftToRight, tdRightToLeft };

// Raised by FadeColor for an index outside 1..count.
class ERangeError : public std::out_of_range {
 public:
  using std::out_of_range::out_of_range;
};

namespace scrolling {

inline constexpr int kMinimumInterval = 16;

// The timer interval for a Speed: 0 or less means no timer at all (returned as 0), below 16 ms
// becomes 16 ms.
int TimerInterval(int speed);

// Colour `index` (1..count) of a run of `count` colours from `start` to `end`: per channel
// start + (index-1) * (end-start) / (count-1), rounded half away from zero. A run of one colour is
// `start`. Both colours must already be RGB (system colours resolved). Throws ERangeError with
// "ColorIndex can't be less than 1 or greater than <count>" for an index outside 1..count.
TColor FadeColorRgb(TColor start, TColor end, int index, int count);

// The offset after one step. Right to left: minus `jump`, back to 0 once at or past
// controlWidth - stripWidth. Left to right: plus `jump`, back to controlWidth - stripWidth once at
// or past 0.
int NextTextOffset(int offset, int jump, TTextDirection direction, int controlWidth,
                   int stripWidth);

// The part of the control that changes when the strip moves from offset `before` to `after`:
// the columns the text's pixels (strip columns textLeft .. textLeft + textWidth, rows textTop ..
// textTop + textHeight) covered before or cover after, within the control. Empty when the text is
// outside the control both times, or the move is a wrap from one blank end to the other.
QRect MovedArea(int before, int after, int controlWidth, int textLeft, int textWidth, int textTop,
                int textHeight);

// The starting offset for a direction (where a direction change and Loaded put the strip).
int StartOffset(TTextDirection direction, int controlWidth, int stripWidth);

// Row of the text for a layout (integer division truncating toward zero, as the layout rule says).
int TextRow(TTextLayout layout, int controlHeight, int textHeight);

}  // namespace scrolling

// FadeColor with system colours resolved through the application's palette.
TColor FadeColor(TColor start, TColor end, int index, int count);

class TALScrollingText : public QWidget {
  Q_OBJECT

 public:
  explicit TALScrollingText(QWidget* parent = nullptr);
  ~TALScrollingText() override;

  // Windows-1252; plain text, never markup. A change keeps the current offset.
  const std::string& Text() const { return text_; }
  void SetText(const std::string& text);
  int Speed() const { return speed_; }
  void SetSpeed(int milliseconds);
  TColor BackgroundColor() const { return backgroundColor_; }
  void SetBackgroundColor(TColor color);
  // The text's colour (the Font's colour).
  TColor FontColor() const { return fontColor_; }
  void SetFontColor(TColor color);
  int EdgeFadeWidth() const { return edgeFadeWidth_; }
  void SetEdgeFadeWidth(int width);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout layout);
  TTextDirection TextDirection() const { return textDirection_; }
  void SetTextDirection(TTextDirection direction);
  int PixelJump() const { return pixelJump_; }
  void SetPixelJump(int pixels) { pixelJump_ = pixels; }
  // Shows or hides the control and switches Enabled with it.
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  // While false the text stays where it is.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  // Where the configuring form is done: builds the bitmaps and puts the strip at the start of
  // its direction.
  void Loaded();

  // One step of motion (the timer's handler); public so tests and benchmarks can drive it.
  void ScrollStep();

  int TextOffset() const { return textOffset_; }
  int StripWidth() const { return textStrip_.width(); }
  bool TimerRunning() const;
  int TimerIntervalMs() const;
  // The frame as it would be put on the screen now.
  QImage ComposeFrame();

 signals:
  void OnClick();
  void OnMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);
  void OnMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void BuildBitmaps();
  void UpdateTimer();
  QColor Resolve(TColor color) const;

  std::string text_ = "Text";
  int speed_ = 50;
  TColor backgroundColor_ = clBtnFace;
  TColor fontColor_ = clWindowText;
  int edgeFadeWidth_ = 15;
  TTextLayout layout_ = TTextLayout::tlCenter;
  TTextDirection textDirection_ = TTextDirection::tdLeftToRight;
  int pixelJump_ = 1;
  bool visible_ = true;
  bool enabled_ = true;
  bool pressed_ = false;

  QImage textStrip_;
  QImage fadeMask_;
  QImage workBitmap_;
  int textOffset_ = 0;
  // The text's pixels within the strip, from BuildBitmaps.
  int textLeft_ = 0;
  int textWidth_ = 0;
  int textTop_ = 0;
  int textHeight_ = 0;
  QTimer* timer_ = nullptr;
};

}  // namespace pelmora
