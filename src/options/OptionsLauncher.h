#pragma once
// The life cycle of the options dialog as the main window runs it: opening (the snapshot,
// filling, OptionsOpen), the modal wait, OK (the window saves and brings itself up to date) or
// Cancel (the snapshot put back), and the release of the dialog.
//
// The snapshot is taken in memory, and Cancel restores it from there: nothing is written and
// nothing is read from the settings file, so Cancel leaves the file as it was and puts back
// exactly what the dialog changed even when the file cannot be written.
//
// The main window stays live under the modal dialog (arrivals and pings go on). While the
// dialog is open, whatever would end the program first closes the dialog as Cancel and then goes
// on (CloseThen); whatever would show the window brings the dialog forward instead.

#include <QObject>
#include <QPointer>
#include <functional>
#include <string>
#include <vector>

#include "options/OptionsLogic.h"
#include "options/VOpciones.h"
#include "widgets/TColor.h"

class QWidget;

namespace pelmora {

class OptionsHost;

class OptionsLauncher : public QObject {
  Q_OBJECT

 public:
  // `applyOk` is the window's part of OK: saving the settings and bringing its language,
  // selectors, compose mode, status bar and conversation view up to date.
  OptionsLauncher(OptionsHost& host, std::function<void()> applyOk, QObject* parent = nullptr);
  ~OptionsLauncher() override;

  // "&Opciones": shows the dialog modally over `parent` and applies its outcome. Returns the
  // dialog's result (QDialog::Accepted or Rejected). Does nothing (returns Rejected) when the
  // dialog is already open.
  int BOpcionesClick(QWidget* parent);

  // Whether the dialog is open. The launcher alone decides it; it keeps the shared state's
  // OptionsOpen, which the messaging core reads, in step.
  bool IsOpen() const { return dialog_ != nullptr; }
  TVOpciones* Dialog() const { return dialog_; }

  // The open dialog to the front with the keyboard, where whatever would show the main window
  // brings it instead; false when none is open.
  bool BringForward();
  // Closes the open dialog as Cancel, then runs `next` once BOpcionesClick has finished (from
  // the event loop). With no dialog open, `next` runs at once.
  void CloseThen(std::function<void()> next);

  // An identification answer while the dialog is open (the name is in NameList already).
  void AddToNameLists(const std::string& name);
  // A message's sender joined NameList while the dialog is open: Cancel keeps that name, as it
  // did not come from the dialog.
  void SenderArrived(const std::string& name);
  // The senders that joined NameList during the last opening.
  const std::vector<std::string>& ArrivedSenders() const { return arrivedSenders_; }

 signals:
  // The dialog is made, filled and about to be shown (OptionsOpen is true).
  void Opened(TVOpciones* dialog);

 private:
  void RestoreOnCancel();

  OptionsHost& host_;
  std::function<void()> applyOk_;
  QPointer<TVOpciones> dialog_;
  options::OptionsSnapshot snapshot_;
  std::vector<std::string> arrivedSenders_;
  std::vector<std::function<void()>> afterClose_;
};

}  // namespace pelmora
