#pragma once
// The first page of the options dialog: what happens when a message arrives, the typed-
// destination and start-up options, the interface language, the hot key letter, and the button
// that saves the log. Every check box writes its flag the moment it is clicked.

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace pelmora {

class OptionsHost;

class PageGeneral : public QWidget {
  Q_OBJECT

 public:
  PageGeneral(OptionsHost& host, QWidget* parent = nullptr);

  // Opening the dialog: the 26 letters with the hot key's selected (none when its key is not a
  // single letter A-Z), the check boxes from the flags, the three language names. Changes
  // nothing in the shared state.
  void Fill();
  void ApplyLanguage(int language);

  struct Controls {
    QGroupBox* GNuevo = nullptr;
    QCheckBox* ChBBeep = nullptr;
    QCheckBox* ChBNotificar = nullptr;
    QCheckBox* ChBRestaurar = nullptr;
    QCheckBox* ChBPreview = nullptr;
    QCheckBox* ChBCambio = nullptr;
    QGroupBox* GVarios = nullptr;
    QCheckBox* ChBGrupotrabajo = nullptr;
    QCheckBox* ChBHardway = nullptr;
    QCheckBox* ChBRecuperar = nullptr;
    QLabel* LIdioma = nullptr;
    QComboBox* CBIdiomas = nullptr;
    QPushButton* BGrabar = nullptr;
    QGroupBox* GTecla = nullptr;
    QLabel* LTecla = nullptr;
    QComboBox* CBTecla = nullptr;
  };
  const Controls& Ui() const { return ui_; }

 signals:
  // The user chose another language; LanguageIndex is already set.
  void LanguageChosen(int language);
  // "Grabar fichero log" was pressed.
  void SaveLogRequested();

 private:
  void ChBRestaurarClick();
  void CBTeclaChange(int index);
  void CBIdiomasChange(int index);

  OptionsHost& host_;
  Controls ui_;
};

}  // namespace pelmora
