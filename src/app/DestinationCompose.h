#pragma once
// The destination and compose controls below the conversation: in the normal layout a names list
// (or, with "Grupos" ticked, a groups list) with its ping button, "Destino" for typing a new name,
// and "Escribir mensaje" opening the compose box; in the typed-destination layout only "Destino",
// whose name serves one message, and its compose box. Quick destinations select a name or group.
//
// The chosen destination lives in the shared state; the part reports the status text to show and
// hands the compose boxes' Enter and Esc to whoever sends (the messaging core).

#include <QObject>
#include <functional>
#include <string>

class QCheckBox;
class QComboBox;
class QFont;
class QPushButton;
class QToolButton;
class QWidget;

namespace pelmora {

class ComposeMemo;
class KeyLineEdit;
struct Variables;

class DestinationCompose : public QObject {
  Q_OBJECT

 public:
  // Creates the controls as children of `parent` at their places in it.
  DestinationCompose(Variables& vars, QWidget* parent, const QFont& composeFont);

  struct Controls {
    QWidget* PNoHardway = nullptr;
    QCheckBox* ChBGrupos = nullptr;
    QWidget* PNombres = nullptr;
    QPushButton* BReceptor = nullptr;
    KeyLineEdit* EReceptor = nullptr;
    QComboBox* CBNombres = nullptr;
    QToolButton* BPing = nullptr;
    QWidget* PGrupos = nullptr;
    QComboBox* CBGrupos = nullptr;
    QToolButton* BPingGrupos = nullptr;
    ComposeMemo* MTexto = nullptr;
    QPushButton* BTexto = nullptr;
    QWidget* PHardway = nullptr;
    QPushButton* BReceptor_hardway = nullptr;
    KeyLineEdit* EReceptor_hardway = nullptr;
    ComposeMemo* MTexto_hardway = nullptr;
  };
  const Controls& Ui() const { return ui_; }

  // Enter (kKeyEnter) and Esc (kKeyEscape) in the compose boxes with the box's text; true when
  // consumed.
  std::function<bool(int key, const std::string& text)> onComposeKey;
  std::function<bool(int key, const std::string& text)> onHardwayComposeKey;

  // The lists from the shared state's names and groups; the destination's name selected.
  void FillSelectors();
  void ChBGruposClick();
  void CBNombresChange();
  void CBGruposChange();
  void BReceptorClick();
  // Enter and Esc (kKeyEnter, kKeyEscape) of the typed-destination fields; true when consumed.
  bool EReceptorKeyPress(int key);
  void BTextoClick();
  void BReceptor_hardwayClick();
  bool EReceptor_hardwayKeyPress(int key);
  // Switches between the normal and the typed-destination compose area.
  void ApplyHardwayLayout();
  // At start, once the settings and the machine's names are read: the workgroup (added to the
  // names) with "load the workgroup", else the first name; in the typed-destination layout,
  // which it switches to, nobody until a name is typed.
  void ChooseStartDestination();
  // Alt+digit on the window: quick destination 0..9.
  void SelectQuickDestination(int index);
  // After a send or a cancel: the box empties and closes, the button that opens it has the focus.
  void RestNormalCompose();
  void RestHardwayCompose();
  // The focus at rest: "Escribir mensaje", the compose box or "Destino" (the last of them that
  // can take it keeps it).
  void GiveRestFocus(const QWidget* window);
  // Back into the compose area of the current layout (where the own-name field returns): the
  // message box or its button, or in the typed-destination layout the message box, the
  // destination button or the destination field, whichever is shown first.
  void FocusComposeArea();
  // A message arrived from `sender`: the names list takes the name in, and with the automatic
  // destination on (and nothing being written) the sender becomes the destination.
  void ArrivalFrom(const std::string& sender);

  bool GroupsTicked() const;
  int SelectedGroupIndex() const;
  // Whether `w` is one of the compose or name fields that handle Esc themselves.
  bool HandlesOwnEscape(const QWidget* w) const;
  // Status panel 1 for the current destination.
  void ShowDestination();
  // After OK in the options dialog: both selectors refilled from the address book (keeping the
  // selected entries that still exist), the compose layout of the typed-destination option, the
  // destination chosen anew and shown.
  void AfterOptions();

 signals:
  // The text of the destination's status panel changed (Windows-1252).
  void destinationStatusChanged(const std::string& text);
  // The ping buttons.
  void pingNamesClicked();
  void pingGroupClicked();

 private:
  void CreateControls(QWidget* parent, const QFont& composeFont);
  void ConnectControls();
  void ShowDestinationText(const std::string& text);
  void RefillNames(const std::string& select);
  void SetGroupsHint(int groupIndex);

  Variables& vars_;
  Controls ui_;
};

}  // namespace pelmora
