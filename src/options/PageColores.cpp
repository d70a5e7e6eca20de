#include "options/PageColores.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "messaging/Variables.h"
#include "options/OptionsHost.h"
#include "options/OptionsWidgets.h"
#include "widgets/ColorCombo.h"
#include "widgets/Controls.h"
#include "widgets/Fonts.h"
#include "widgets/ScrollRichEdit.h"

namespace pelmora {

namespace {
constexpr const char* kClassNames[kPaletteCount] = {"Hora",
                                                    "Cabeceras",
                                                    "Mensajes enviados",
                                                    "Mensajes recibidos",
                                                    "Mensajes seguros",
                                                    "Mensajes de sistema"};
constexpr int kClassRows[kPaletteCount] = {47, 48, 49, 50, 51, 52};
}  // namespace

PageColores::PageColores(OptionsHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName(QStringLiteral("TabColores"));
  ui_.GColores = MakeControl<QGroupBox>(this, "GColores", QRect(0, 8, 329, 249));
  ui_.GColores->setTitle(QStringLiteral("Colores"));

  // 13 pixels wider than the design, for the German classes.
  ui_.RGColores = MakeControl<QGroupBox>(ui_.GColores, "RGColores", QRect(8, 16, 190, 193));
  ui_.ClassGroup = new QButtonGroup(this);
  for (int i = 0; i < kPaletteCount; ++i) {
    auto* r = new QRadioButton(QString::fromUtf8(kClassNames[i]), ui_.RGColores);
    r->setObjectName(QStringLiteral("RGColores%1").arg(i));
    // The six entries share the box's height, as a radio group lays them out.
    r->setGeometry(8, 10 + i * 30, 180, 20);
    ui_.ClassGroup->addButton(r, i);
    ui_.Classes[i] = r;
  }

  ui_.GBFondo = MakeControl<QGroupBox>(ui_.GColores, "GBFondo", QRect(200, 48, 121, 81));
  ui_.GBFondo->setTitle(QStringLiteral("Fondo"));
  ui_.ColorCombo2 = MakeControl<TColorCombo>(ui_.GBFondo, "ColorCombo2", QRect(8, 32, 105, 22));
  ui_.ColorCombo2->FillColorList();

  ui_.GroupBox1 = MakeControl<QGroupBox>(ui_.GColores, "GroupBox1", QRect(200, 136, 121, 73));
  ui_.LPrueba = new QLabel(QStringLiteral("AaBbCcDd"), ui_.GroupBox1);
  ui_.LPrueba->setObjectName(QStringLiteral("LPrueba"));
  ui_.LPrueba->setTextFormat(Qt::PlainText);
  ui_.LPrueba->setGeometry(17, 29, 80, 20);
  ui_.LPrueba->setAutoFillBackground(true);
  QFont big = PelmoraInterfaceFont();
  big.setPixelSize(16);
  ui_.LPrueba->setFont(big);
  ui_.LPrueba->adjustSize();  // the sample must show whole in this platform's font

  ui_.ColorCombo1 = MakeControl<TColorCombo>(ui_.GColores, "ColorCombo1", QRect(16, 216, 105, 22));
  ui_.ColorCombo1->FillColorList();
  ui_.BDefault = MakeButton(ui_.GColores, "BDefault", QRect(200, 216, 113, 25), "Predeterminados");

  connect(ui_.ClassGroup, &QButtonGroup::idClicked, this, [this] { RGColoresClick(); });
  connect(ui_.ColorCombo1, &QComboBox::activated, this, [this] { ColorCombo1Change(); });
  connect(ui_.ColorCombo2, &QComboBox::activated, this, [this] { ColorCombo2Change(); });
  connect(ui_.BDefault, &QPushButton::clicked, this, [this] { BDefaultClick(); });
}

void PageColores::Fill() {
  SelectClass(0);
  ui_.ColorCombo2->SetSelectedColor(host_.WindowPart().Background);
  ShowPreview();
}

void PageColores::ApplyLanguage(int l) {
  ui_.GColores->setTitle(ToQ(LocalText(45, l)));
  ui_.GBFondo->setTitle(ToQ(LocalText(46, l)));
  for (int i = 0; i < kPaletteCount; ++i) ui_.Classes[i]->setText(ToQ(LocalText(kClassRows[i], l)));
  ui_.BDefault->setText(ToQ(LocalText(53, l)));
  ui_.RGColores->setAccessibleName(ToQ(LocalText(45, l)));
  ui_.ColorCombo1->setAccessibleName(ToQ(LocalText(45, l)));
  ui_.ColorCombo2->setAccessibleName(ToQ(LocalText(46, l)));
}

int PageColores::SelectedClass() const { return std::max(0, ui_.ClassGroup->checkedId()); }

void PageColores::SelectClass(int index) {
  if (index < 0 || index >= kPaletteCount) return;
  ui_.Classes[index]->setChecked(true);
  RGColoresClick();
}

void PageColores::ShowPreview() {
  // The preview shows the pair as the panes would: a colour not in the lists shows as no
  // selection and its preview is black, as the selectors read it.
  QPalette p = ui_.LPrueba->palette();
  const QColor back = ToQColor(ui_.ColorCombo2->GetSelectedColor(), p);
  const QColor fore = ToQColor(ui_.ColorCombo1->GetSelectedColor(), p);
  p.setColor(QPalette::Window, back.isValid() ? back : QColor(Qt::transparent));
  p.setColor(QPalette::WindowText, fore.isValid() ? fore : QColor(Qt::transparent));
  ui_.LPrueba->setPalette(p);
}

void PageColores::RGColoresClick() {
  ui_.ColorCombo1->SetSelectedColor(
      host_.WindowPart().Palette[static_cast<std::size_t>(SelectedClass())]);
  ShowPreview();
}

void PageColores::ColorCombo1Change() {
  WindowSettings window = host_.WindowPart();
  window.Palette[static_cast<std::size_t>(SelectedClass())] = ui_.ColorCombo1->GetSelectedColor();
  host_.SetWindowPart(window);
  ShowPreview();
  host_.RedrawConversation();
}

void PageColores::ColorCombo2Change() {
  WindowSettings window = host_.WindowPart();
  window.Background = ui_.ColorCombo2->GetSelectedColor();
  host_.SetWindowPart(window);
  ShowPreview();
}

void PageColores::BDefaultClick() {
  // The colours of a fresh start; the hot key stays.
  WindowSettings window = host_.WindowPart();
  const WindowSettings defaults;
  window.Background = defaults.Background;
  window.Palette = defaults.Palette;
  host_.SetWindowPart(window);
  ui_.ColorCombo2->SetSelectedColor(window.Background);
  ui_.ColorCombo1->SetSelectedColor(window.Palette[static_cast<std::size_t>(SelectedClass())]);
  ShowPreview();
}

}  // namespace pelmora
