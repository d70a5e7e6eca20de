#pragma once
// The second page of the options dialog: the names of the address book, the workgroup ping
// that collects the machines running the program, and the ten quick destinations (Alt+0..9).

#include <QWidget>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTimer;

namespace pelmora {

class OptionsHost;
namespace options {
class EntryEdit;
}

class PageNombres : public QWidget {
  Q_OBJECT

 public:
  PageNombres(OptionsHost& host, QWidget* parent = nullptr);

  // Opening the dialog: the names of NameList, quick destination 0 shown (never rewritten).
  void Fill();
  void ApplyLanguage(int language);

  // A name that answered the ping while the dialog is open (already in NameList).
  void AddAnsweredName(const std::string& name);

  // Pressing "&Ping": three silent workgroup pings, 100 ms apart, the first 100 ms from now.
  void BPing_AllClick();
  // The pings a press of "&Ping" has still to send are dropped.
  void StopPings();
  int PingTicks() const { return pingTicks_; }

  struct Controls {
    QListWidget* LNombres = nullptr;
    QPushButton* BNuevo_nombre = nullptr;
    options::EntryEdit* ENuevo_nombre = nullptr;
    QPushButton* BBorrar_nombre = nullptr;
    QPushButton* BBorrar_nombres = nullptr;
    QPushButton* BPing_All = nullptr;
    QLabel* LAlt = nullptr;
    QComboBox* CBNumeros = nullptr;
    QComboBox* CBNombresGrupos = nullptr;
    QComboBox* CBTipoDestino = nullptr;
    QTimer* TimerPing = nullptr;
  };
  const Controls& Ui() const { return ui_; }

 signals:
  // The groups page keeps its check list in step with these.
  void NameAdded(const std::string& name);
  void NameRemovedAt(int row);
  void NamesCleared();

 private:
  void BNuevo_nombreClick();
  void ENuevo_nombreCommitted();
  void ENuevo_nombreCancelled();
  void BBorrar_nombreClick();
  void BBorrar_nombresClick();
  void TimerPingTimer();
  void AddToList(const std::string& name);

  enum class RefreshBy { Dialog, Number, Kind };
  void CBDestinoRapidoChange(RefreshBy sender);
  void CBNombresGruposChange(int index);
  std::vector<std::string> QuickEntries(int kind) const;

  OptionsHost& host_;
  Controls ui_;
  int pingTicks_ = 0;
};

}  // namespace pelmora
