#pragma once
// TVOpciones, the options dialog: five pages that edit the shared state in place (arrival
// options, hot key and language; names, ping and quick destinations; groups; colours; about),
// and the log saving. The dialog keeps no copy of the options: the main window takes the
// snapshot that Cancel restores and applies the outcome of OK.
//
// Enter and Esc do not close it (neither button is the default or the cancel button); the close
// box is Cancel.

#include <QDialog>
#include <string>

class QPushButton;
class QTabWidget;

namespace pelmora {

class OptionsHost;
class PageAcerca;
class PageColores;
class PageGeneral;
class PageGrupos;
class PageNombres;

class TVOpciones : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 337;
  static constexpr int kClientHeight = 377;

  TVOpciones(OptionsHost& host, QWidget* parent = nullptr);
  ~TVOpciones() override;

  // Sets every localised text of the dialog for a language (0 Spanish, 1 German, 2 English).
  void ApplyDialogLanguage(int language);

  // A name that answered the workgroup ping while the dialog is open: both name lists get it
  // when they do not hold it yet (ignoring case). NameList already has it.
  void AddToNameLists(const std::string& name);

  // "Grabar fichero log": the save dialog, then the three panes' lines into the chosen file.
  void BGrabarClick();

  PageGeneral& General() const { return *general_; }
  PageNombres& Nombres() const { return *nombres_; }
  PageGrupos& Grupos() const { return *grupos_; }
  PageColores& Colores() const { return *colores_; }
  PageAcerca& Acerca() const { return *acerca_; }
  QTabWidget* PageControl() const { return pageControl_; }
  QPushButton* BOK() const { return bok_; }
  QPushButton* BCancel() const { return bcancel_; }
  // The file name the save dialog proposes next.
  const QString& LogFileName() const { return logFileName_; }

 public slots:
  // OK, Cancel, the close box or the program ending: pings not yet sent die with the dialog.
  void done(int result) override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void FitPageTabs();
  void FormCreate();

  OptionsHost& host_;
  QTabWidget* pageControl_ = nullptr;
  PageGeneral* general_ = nullptr;
  PageNombres* nombres_ = nullptr;
  PageGrupos* grupos_ = nullptr;
  PageColores* colores_ = nullptr;
  PageAcerca* acerca_ = nullptr;
  QPushButton* bok_ = nullptr;
  QPushButton* bcancel_ = nullptr;
  QString saveDialogTitle_;
  QString logFileName_;
};

}  // namespace pelmora
