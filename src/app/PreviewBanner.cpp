#include "app/PreviewBanner.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "widgets/Desktop.h"

namespace pelmora {

PreviewBanner::PreviewBanner(DesktopServices& desktop, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      desktop_(desktop) {
  setObjectName(QStringLiteral("PreviewBanner"));
  setWindowTitle(QStringLiteral("Pelmora"));
  // The user's window keeps the keyboard when the banner appears.
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFixedSize(kWidth, kHeight);

  scrollingText_ = new TALScrollingText(this);
  scrollingText_->setObjectName(QStringLiteral("ScrollingText"));
  scrollingText_->setGeometry(0, 0, kWidth, kHeight);
  scrollingText_->SetText("Text");
  scrollingText_->SetSpeed(1);
  scrollingText_->SetBackgroundColor(clBlack);
  scrollingText_->SetTextDirection(TTextDirection::tdRightToLeft);
  scrollingText_->SetPixelJump(2);
  scrollingText_->SetEnabled(false);
  QFont font = scrollingText_->font();
  font.setPixelSize(11);  // "MS Sans Serif", height -11: an 8-point text at 96 dpi
  scrollingText_->setFont(font);
  scrollingText_->SetFontColor(clAqua);
  scrollingText_->Loaded();

  // A transparent label over the banner from 8 pixels to the right edge takes the double click.
  lForro_ = new QLabel(this);
  lForro_->setObjectName(QStringLiteral("LForro"));
  lForro_->setTextFormat(Qt::PlainText);
  lForro_->setAttribute(Qt::WA_TranslucentBackground);
  lForro_->setGeometry(8, 0, kWidth - 8, kHeight);
  lForro_->installEventFilter(this);
  scrollingText_->installEventFilter(this);
  // Shown, the label would be painted again at every step of the text beneath it, for nothing:
  // it draws nothing of its own, and the scrolling text takes the double click on the whole
  // banner anyway. It stays as the named part of the banner.
  lForro_->hide();
}

QPoint PreviewBanner::PlaceOnScreen(int screenWidth) {
  return {screenWidth - kWidth - kRightMargin, 0};
}

QPoint PreviewBanner::Corner() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
  return PlaceOnScreen(area.width()) + area.topLeft();
}

void PreviewBanner::ShowBanner() {
  const QPoint at = Corner();
  move(at);
  scrollingText_->SetEnabled(true);
  show();
  raise();
  // Some window managers place a new window by their own rule; put it back where it belongs.
  move(at);
}

void PreviewBanner::HideBanner() {
  scrollingText_->SetEnabled(false);
  hide();
}

void PreviewBanner::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The task-bar hints are asked for once the window manager has the window (it ignores requests
  // about windows it does not manage yet): at the first exposure after each show, and once more a
  // moment later for window managers that expose before they manage.
  hintsPending_ = true;
  if (QWindow* handle = windowHandle(); handle && !watchingHandle_) {
    handle->installEventFilter(this);
    watchingHandle_ = true;
  }
  QTimer::singleShot(100, this, [this] {
    if (isVisible()) {
      desktop_.KeepOutOfTaskBar(this);
      move(Corner());
    }
  });
}

bool PreviewBanner::eventFilter(QObject* watched, QEvent* event) {
  if (watched == windowHandle() && event->type() == QEvent::Expose && hintsPending_ &&
      windowHandle()->isExposed()) {
    hintsPending_ = false;
    desktop_.KeepOutOfTaskBar(this);
  }
  if ((watched == lForro_ || watched == scrollingText_) &&
      event->type() == QEvent::MouseButtonDblClick) {
    if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      emit doubleClicked();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void PreviewBanner::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    emit escapePressed();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace pelmora
