#include "options/PageAcerca.h"

#include <QLabel>
#include <QPushButton>

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

PageAcerca::PageAcerca(OptionsHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName(QStringLiteral("TabAcerca"));
  MakeLabel(this, "Label1", QStringLiteral("Este programa ha sido realizado por:"), QPoint(8, 32));
  MakeLabel(this, "Label2", QStringLiteral("This program has been developed by:"), QPoint(8, 56));
  QFont big = PelmoraInterfaceFont();
  big.setPixelSize(19);
  const QString program =
      QStringLiteral("Pelmora ") +
      QString::fromLatin1(ProgramVersion.data(), static_cast<qsizetype>(ProgramVersion.size()));
  MakeLabel(this, "Label3", program, QPoint(120, 120))->setFont(big);
  MakeLabel(this, "Label4", QStringLiteral("Quendal"), QPoint(96, 152))->setFont(big);
  for (QLabel* l : findChildren<QLabel*>()) l->adjustSize();

  auto link = [this](const char* name, const char* text, QPoint at) {
    auto* b = new QPushButton(QString::fromUtf8(text), this);
    b->setObjectName(QLatin1String(name));
    b->setFlat(true);
    b->setAutoDefault(false);
    b->setCursor(Qt::PointingHandCursor);
    b->setStyleSheet(QStringLiteral(
        "QPushButton { color: blue; text-decoration: underline; border: none; padding: 0; "
        "text-align: left; }"));
    b->move(at);
    b->adjustSize();
    return b;
  };
  label5_ = link("Label5", kWebAddress, QPoint(8, 240));
  label6_ = link("Label6", kMailAddress, QPoint(8, 264));
  connect(label5_, &QPushButton::clicked, this, [this] { Label5Click(); });
  connect(label6_, &QPushButton::clicked, this, [this] { Label6Click(); });
}

void PageAcerca::Label5Click() { host_.OpenLink(this, QUrl(QString::fromUtf8(kWebAddress))); }

void PageAcerca::Label6Click() {
  host_.OpenLink(this, QUrl(QStringLiteral("mailto:") + QString::fromUtf8(kMailAddress)));
}

}  // namespace pelmora
