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
  name(ui.Destination->BPing, kRowPing);
  name(ui.Destination->BPingGrupos, kRowPing);
  name(ui.Destination->CBNombres, kRowNombres);
  name(ui.Destination->CBGrupos, kRowGruposPage);
  name(ui.Destination->EReceptor, kRowDestino);
  name(ui.Destination->EReceptor_hardway, kRowDestino);
  name(ui.Destination->MTexto, kRowEscribirMensaje);
  name(ui.Destination->MTexto_hardway, kRowEscribirMensaje);
  // The own-name field opens over the compose area; the status bar calls that name "Origen".
  name(ui.ECambioNombre, kRowOrigen);
}

}  // namespace pelmora
