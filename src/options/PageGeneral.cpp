#include "options/PageGeneral.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "options/OptionsHost.h"
#include "options/OptionsWidgets.h"
#include "widgets/AnsiItems.h"
#include "widgets/Controls.h"

namespace pelmora {

namespace {

// A check box that writes one flag when the user clicks it.
void Bind(QCheckBox* box, bool& flag) {
  QObject::connect(box, &QCheckBox::clicked, box, [box, &flag] { flag = box->isChecked(); });
}

}  // namespace

PageGeneral::PageGeneral(OptionsHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName(QStringLiteral("TabOpciones"));
  ui_.GNuevo = MakeControl<QGroupBox>(this, "GNuevo", QRect(8, 8, 297, 97));
  ui_.GNuevo->setTitle(QStringLiteral("En respuesta a un nuevo mensaje"));
  ui_.ChBBeep = MakeCheck(ui_.GNuevo, "ChBBeep", QRect(16, 18, 81, 17), "&Beep");
  // Desktop notifications belong with the other reactions to an arrival, beside the beep; wide
  // enough for the German caption.
  ui_.ChBNotificar =
      MakeCheck(ui_.GNuevo, "ChBNotificar", QRect(100, 18, 192, 17), "Avisos en el escritorio");
  ui_.ChBRestaurar = MakeCheck(ui_.GNuevo, "ChBRestaurar", QRect(16, 44, 121, 17), "Restaurar");
  ui_.ChBPreview = MakeCheck(ui_.GNuevo, "ChBPreview", QRect(152, 44, 121, 17), "Preview");
  ui_.ChBCambio = MakeCheck(ui_.GNuevo, "ChBCambio", QRect(16, 72, 273, 17),
                            "Cambio automático de destinatario");

  ui_.GVarios = MakeControl<QGroupBox>(this, "GVarios", QRect(8, 112, 297, 145));
  ui_.GVarios->setTitle(QStringLiteral("Varios"));
  ui_.ChBGrupotrabajo = MakeCheck(ui_.GVarios, "ChBGrupotrabajo", QRect(16, 24, 273, 17),
                                  "Cargar el grupo de trabajo al iniciar");
  ui_.ChBHardway =
      MakeCheck(ui_.GVarios, "ChBHardway", QRect(16, 51, 273, 17), "Tecleo obligatorio de destino");
  ui_.ChBRecuperar =
      MakeCheck(ui_.GVarios, "ChBRecuperar", QRect(16, 80, 265, 17), "Recuperar mensajes perdidos");
  ui_.LIdioma = MakeControl<QLabel>(ui_.GVarios, "LIdioma", QRect(16, 115, 60, 15));
  ui_.LIdioma->setText(QStringLiteral("Idioma: "));
  ui_.CBIdiomas = MakeControl<QComboBox>(ui_.GVarios, "CBIdiomas", QRect(80, 112, 145, 21));
  ui_.LIdioma->setBuddy(ui_.CBIdiomas);

  ui_.BGrabar = MakeButton(this, "BGrabar", QRect(172, 269, 121, 32), "&Grabar fichero log");
  ui_.BGrabar->setFlat(true);

  ui_.GTecla = MakeControl<QGroupBox>(this, "GTecla", QRect(8, 288, 137, 49));
  ui_.GTecla->setTitle(QStringLiteral("Tecla de acceso rápido"));
  ui_.LTecla = MakeControl<QLabel>(ui_.GTecla, "LTecla", QRect(8, 23, 60, 15));
  ui_.LTecla->setText(QStringLiteral("Ctrl + Alt + "));
  ui_.CBTecla = MakeControl<QComboBox>(ui_.GTecla, "CBTecla", QRect(68, 19, 53, 21));
  ui_.LTecla->setBuddy(ui_.CBTecla);

  Variables& v = host_.Vars();
  Bind(ui_.ChBBeep, v.OptBeep);
  Bind(ui_.ChBNotificar, v.OptNotify);
  Bind(ui_.ChBPreview, v.OptPreview);
  Bind(ui_.ChBCambio, v.OptAutoDestination);
  Bind(ui_.ChBGrupotrabajo, v.OptLoadWorkgroup);
  Bind(ui_.ChBHardway, v.OptHardway);
  Bind(ui_.ChBRecuperar, v.OptRecoverLost);
  connect(ui_.ChBRestaurar, &QCheckBox::clicked, this, [this] { ChBRestaurarClick(); });
  // `activated` is the user's choice only: filling the lists writes nothing back.
  connect(ui_.CBTecla, &QComboBox::activated, this, [this](int i) { CBTeclaChange(i); });
  connect(ui_.CBIdiomas, &QComboBox::activated, this, [this](int i) { CBIdiomasChange(i); });
  connect(ui_.BGrabar, &QPushButton::clicked, this, &PageGeneral::SaveLogRequested);
}

void PageGeneral::Fill() {
  Variables& v = host_.Vars();
  ui_.CBTecla->clear();
  for (char c = 'A'; c <= 'Z'; ++c) ui_.CBTecla->addItem(QString(QLatin1Char(c)));
  const char key = host_.WindowPart().HotKeyLetter;
  int keyRow = -1;
  if (key >= 'A' && key <= 'Z') keyRow = key - 'A';
  ui_.CBTecla->setCurrentIndex(keyRow);

  ui_.ChBRestaurar->setChecked(v.OptRestore);
  ui_.ChBPreview->setEnabled(v.OptRestore);
  ui_.ChBPreview->setChecked(v.OptPreview);
  ui_.ChBBeep->setChecked(v.OptBeep);
  ui_.ChBNotificar->setChecked(v.OptNotify);
  ui_.ChBCambio->setChecked(v.OptAutoDestination);
  ui_.ChBGrupotrabajo->setChecked(v.OptLoadWorkgroup);
  ui_.ChBHardway->setChecked(v.OptHardway);
  ui_.ChBRecuperar->setChecked(v.OptRecoverLost);

  ui_.CBIdiomas->clear();
  for (int l = 0; l < kLanguageCount; ++l) AddItem(ui_.CBIdiomas, LocalText(1, l));
  ui_.CBIdiomas->setCurrentIndex(v.LanguageIndex < kLanguageCount ? v.LanguageIndex : -1);
}

void PageGeneral::ApplyLanguage(int l) {
  auto t = [l](int row) { return ToQ(LocalText(row, l)); };
  ui_.LIdioma->setText(t(24));
  ui_.GTecla->setTitle(t(25));
  ui_.GNuevo->setTitle(t(30));
  ui_.GVarios->setTitle(t(31));
  ui_.BGrabar->setText(t(34));
  ui_.ChBRestaurar->setText(t(28));
  ui_.ChBCambio->setText(t(29));
  ui_.ChBPreview->setText(t(26));
  ui_.ChBBeep->setText(t(27));
  ui_.ChBNotificar->setText(t(kRowDesktopNotifications));
  ui_.ChBRecuperar->setText(t(36));
  ui_.ChBGrupotrabajo->setText(t(32));
  ui_.ChBHardway->setText(t(33));
}

void PageGeneral::ChBRestaurarClick() {
  Variables& v = host_.Vars();
  v.OptRestore = ui_.ChBRestaurar->isChecked();
  ui_.ChBPreview->setEnabled(v.OptRestore);
  if (!v.OptRestore) {
    ui_.ChBPreview->setChecked(false);
    v.OptPreview = false;
  }
}

void PageGeneral::CBTeclaChange(int index) {
  if (index < 0 || index >= 26) return;
  WindowSettings window = host_.WindowPart();
  window.HotKeyLetter = static_cast<char>('A' + index);
  host_.SetWindowPart(window);
}

void PageGeneral::CBIdiomasChange(int index) {
  if (index < 0 || index >= kLanguageCount) return;
  host_.Vars().LanguageIndex = static_cast<std::uint8_t>(index);
  emit LanguageChosen(index);
}

}  // namespace pelmora
