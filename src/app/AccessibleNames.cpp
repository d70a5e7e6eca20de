#include "app/AccessibleNames.h"

#include <QComboBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QToolButton>

#include "app/ComposeMemo.h"
#include "messaging/TextTable.h"
#include "messaging/Variables.h"
#include "widgets/AnsiText.h"
#include "widgets/ScrollRichEdit.h"

namespace pelmora {

std::string SpokenName(const std::string& caption) {
  std::string out = StripAmpersands(caption);
  while (!out.empty() && (out.back() == ' ' || out.back() == ':')) out.pop_back();
  while (!out.empty() && out.front() == ' ') out.erase(out.begin());
  return out;
}

void ApplyAccessibleNames(const TDOzuZe::Controls& ui, const Variables& vars) {
  auto name = [&](QWidget* w, int row) {
    if (w != nullptr) w->setAccessibleName(ToQ(SpokenName(vars.Text(row))));
  };
  // The three columns of the conversation, and the bar that scrolls them together.
  name(ui.SRTime, kRowHora);
  name(ui.SRCab, kRowCabeceras);
  name(ui.SRChat, kRowHintPanes);
  name(ui.ScrollBar, kRowHintPanes);
  // "P" says nothing; the options dialog's button of the same deed is "&Ping".
  name(ui.BPing, kRowPing);
  name(ui.BPingGrupos, kRowPing);
  name(ui.CBNombres, kRowNombres);
  name(ui.CBGrupos, kRowGruposPage);
  name(ui.EReceptor, kRowDestino);
  name(ui.EReceptor_hardway, kRowDestino);
  name(ui.MTexto, kRowEscribirMensaje);
  name(ui.MTexto_hardway, kRowEscribirMensaje);
  // The own-name field opens over the compose area; the status bar calls that name "Origen".
  name(ui.ECambioNombre, kRowOrigen);
}

}  // namespace pelmora
