#pragma once
// The fourth page of the options dialog: the background of the conversation view and the text
// colour of each of its six kinds of text. Every choice acts at once on the three panes.

#include <QWidget>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace pelmora {

class OptionsHost;
class TColorCombo;

class PageColores : public QWidget {
  Q_OBJECT

 public:
  PageColores(OptionsHost& host, QWidget* parent = nullptr);

  // Opening the dialog: class "Hora" selected, the current colours shown.
  void Fill();
  void ApplyLanguage(int language);

  // The colour class selected in the radio list (0 time .. 5 system).
  int SelectedClass() const;
  void SelectClass(int index);  // as a click on that entry

  struct Controls {
    QGroupBox* GColores = nullptr;
    QGroupBox* RGColores = nullptr;
    QRadioButton* Classes[6] = {};
    QButtonGroup* ClassGroup = nullptr;
    QGroupBox* GBFondo = nullptr;
    TColorCombo* ColorCombo2 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* LPrueba = nullptr;
    TColorCombo* ColorCombo1 = nullptr;
    QPushButton* BDefault = nullptr;
  };
  const Controls& Ui() const { return ui_; }

 private:
  void RGColoresClick();
  void ColorCombo1Change();
  void ColorCombo2Change();
  void BDefaultClick();
  void ShowPreview();

  OptionsHost& host_;
  Controls ui_;
};

}  // namespace pelmora
