#include "app/LanguageTable.h"

#include <QAbstractButton>
#include <QString>
#include <QWidget>

#include "messaging/TextTable.h"
#include "widgets/AnsiText.h"

namespace pelmora {

const std::vector<LanguageTableEntry>& MainWindowLanguageTable() {
  using P = LocalisedProperty;
  static const std::vector<LanguageTableEntry> table = {
      {"BOpciones", P::Caption, kRowOpciones},
      {"BBorrar", P::Caption, kRowBorrarTodo},
      {"BReceptor", P::Caption, kRowDestino},
      {"ChBGrupos", P::Caption, kRowGrupos},
      {"BTexto", P::Caption, kRowEscribirMensaje},
      {"BOpciones", P::Hint, kRowHintOpciones},
      {"BBorrar", P::Hint, kRowHintBorrar},
      {"BReceptor", P::Hint, kRowHintReceptor},
      {"ChBGrupos", P::Hint, kRowHintGrupos},
      {"CBNombres", P::Hint, kRowHintNombres},
      {"BTexto", P::Hint, kRowHintTexto},
      {"MTexto", P::Hint, kRowHintTexto},
      {"MTexto_hardway", P::Hint, kRowHintTexto},
      {"BReceptor_hardway", P::Caption, kRowDestino},
      {"BReceptor_hardway", P::Hint, kRowHintReceptor},
      {"SRTime", P::Description, kRowHintPanes},
      {"SRChat", P::Description, kRowHintPanes},
      {"SRCab", P::Description, kRowHintPanes},
  };
  return table;
}

int ApplyLanguageTable(QWidget* root, int languageIndex) {
  int missing = 0;
  for (const LanguageTableEntry& e : MainWindowLanguageTable()) {
    auto* w = root->findChild<QWidget*>(ToQ(std::string(e.control)));
    if (w == nullptr) {
      ++missing;
      continue;
    }
    const QString text = ToQ(LocalText(e.row, languageIndex));
    switch (e.property) {
      case LocalisedProperty::Caption:
        if (auto* button = qobject_cast<QAbstractButton*>(w)) {
          button->setText(text);
        } else {
          ++missing;
        }
        break;
      case LocalisedProperty::Hint:
        w->setToolTip(PlainTip(text));
        break;
      case LocalisedProperty::Description:
        w->setAccessibleDescription(text);
        break;
    }
  }
  return missing;
}

}  // namespace pelmora
