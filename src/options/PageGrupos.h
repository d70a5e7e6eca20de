#pragma once
// The third page of the options dialog: the groups of the address book and their members, chosen
// by check marks in the list of all known names.
//
// LGrupos lists the groups in collection order, so a row is the position of the same group in
// GroupList; CLNombres lists the names of NameList, and its check marks show the members of the
// selected group.

#include <QWidget>
#include <string>

class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace pelmora {

class OptionsHost;
namespace options {
class EntryEdit;
}

class PageGrupos : public QWidget {
  Q_OBJECT

 public:
  PageGrupos(OptionsHost& host, QWidget* parent = nullptr);

  // Opening the dialog: the names and the groups, nothing selected, no check marks.
  void Fill();
  void ApplyLanguage(int language);

  // Kept in step with the names page.
  void NameAdded(const std::string& name);
  void NameRemovedAt(int row);
  void NamesCleared();

  // Shows the selected group's members as check marks (none without a selected group).
  void LGruposClick();

  struct Controls {
    QListWidget* LGrupos = nullptr;
    QListWidget* CLNombres = nullptr;
    QPushButton* BNuevo_grupo = nullptr;
    options::EntryEdit* ENuevo_grupo = nullptr;
    QPushButton* BBorrar_grupo = nullptr;
  };
  const Controls& Ui() const { return ui_; }

 private:
  void BNuevo_grupoClick();
  void ENuevo_grupoCommitted();
  void ENuevo_grupoCancelled();
  void BBorrar_grupoClick();
  void CLNombresClick(QListWidgetItem* changed);
  void SetAllChecks(bool fromModel);

  OptionsHost& host_;
  Controls ui_;
  bool settingChecks_ = false;  // check marks set by the page itself, not by the user
};

}  // namespace pelmora
