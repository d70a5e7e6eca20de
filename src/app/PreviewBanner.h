#pragma once
// PreviewBanner: the small always-on-top window that stands in for the main window while new
// messages wait ("2 mensajes nuevos" scrolling right to left, aqua on black, 73 x 17 pixels in
// the screen's top right corner, 54 pixels in from its right edge).
//
// It is a window of its own rather than the main window shrunk: changing a shown window's frame
// and stacking flags makes X11 window managers map it anew, and a separate tool window can be
// shown without taking the keyboard from the window the user is typing in. It has no task-bar
// entry. A double click on it asks for the normal window; Esc (once a click or the window
// manager gave it the focus) asks for everything to go to the tray.

#include <QLabel>
#include <QWidget>
#include <string>

#include "widgets/ALScrollingText.h"

namespace pelmora {

class DesktopServices;

class PreviewBanner : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 73;
  static constexpr int kHeight = 17;
  static constexpr int kRightMargin = 54;

  // `desktop` keeps the banner out of the task bar; it must outlive the banner.
  explicit PreviewBanner(DesktopServices& desktop, QWidget* parent = nullptr);

  // Where the banner stands on a screen `screenWidth` pixels wide: top 0, left = width - 73 - 54.
  static QPoint PlaceOnScreen(int screenWidth);
  // That place on the primary screen.
  static QPoint Corner();

  // Counter text (Windows-1252); plain text, never markup.
  void SetText(const std::string& text) { scrollingText_->SetText(text); }
  const std::string& Text() const { return scrollingText_->Text(); }

  // Shows the banner in its corner of the primary screen, scrolling, without activating it.
  void ShowBanner();
  // Hides it and stops the scrolling (a hidden banner costs nothing).
  void HideBanner();
  // Whether the text moves.
  void SetScrolling(bool on) { scrollingText_->SetEnabled(on); }
  bool Scrolling() const { return scrollingText_->Enabled(); }

  TALScrollingText* ScrollingText() const { return scrollingText_; }
  QLabel* LForro() const { return lForro_; }

 signals:
  void doubleClicked();
  void escapePressed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  DesktopServices& desktop_;
  TALScrollingText* scrollingText_;
  QLabel* lForro_;
  bool hintsPending_ = false;
  bool watchingHandle_ = false;
};

}  // namespace pelmora
