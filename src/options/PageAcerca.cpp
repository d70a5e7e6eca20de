#include "options/PageAcerca.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>

#include "messaging/Variables.h"
#include "options/OptionsHost.h"
#include "widgets/Fonts.h"

namespace pelmora {

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QPoint at) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(QLatin1String(name));
  l->setTextFormat(Qt::PlainText);
  l->move(at);
  l->adjustSize();
  return l;
}

}  // namespace

TPageAcerca::TPageAcerca(OptionsHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName(QStringLiteral("TabAcerca"));
  MakeLabel(this, "Label1", QStringLiteral("Este programa ha sido realizado por:"), QPoint(8, 32));
  MakeLabel(this, "Label2", QStringLiteral("This program has been developed by:"), QPoint(8, 56));
  QFont big = PelmoraInterfaceFont();
  big.setPixelSize(19);
  const QString program = QStringLiteral("Pelmora ") +
                          QString::fromLatin1(ProgramVersion.data(),
                                              static_cast<qsizetype>(ProgramVersion.size()));
  MakeLabel(this, "Label3", program, QPoint(120, 120))->setFont(big);
  MakeLabel(this, "Label4", QStringLiteral("Quendal"), QPoint(96, 152))->setFont(big);
  for (QLabel* l : findChildren<QLabel*>()) l->adjustSize();

  auto link = [this](const char* name, const char* text, QPoint at) {
    QLabel* l = MakeLabel(this, name, QString::fromUtf8(text), at);
    QFont f = l->font();
    f.setUnderline(true);
    l->setFont(f);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, Qt::blue);
    l->setPalette(p);
    l->setCursor(Qt::PointingHandCursor);
    // Reachable by the keyboard too: Tab to it, then Space or Enter.
    l->setFocusPolicy(Qt::StrongFocus);
    l->installEventFilter(this);
    l->adjustSize();
    return l;
  };
  label5_ = link("Label5", kWebAddress, QPoint(8, 240));
  label6_ = link("Label6", kMailAddress, QPoint(8, 264));
}

bool TPageAcerca::eventFilter(QObject* watched, QEvent* event) {
  if (watched == label5_ || watched == label6_) {
    bool go = false;
    if (event->type() == QEvent::MouseButtonRelease) {
      go = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    } else if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      go = key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
    }
    if (go) {
      if (watched == label5_) {
        Label5Click();
      } else {
        Label6Click();
      }
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TPageAcerca::Label5Click() {
  host_.OpenLink(this, QUrl(QString::fromUtf8(kWebAddress)));
}

void TPageAcerca::Label6Click() {
  host_.OpenLink(this, QUrl(QStringLiteral("mailto:") + QString::fromUtf8(kMailAddress)));
}

}  // namespace pelmora
