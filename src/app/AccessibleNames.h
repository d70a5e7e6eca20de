#pragma once
// The names a screen reader says for the window's controls, in the interface language. Buttons,
// check boxes and labels speak their captions already; these are the controls whose caption
// says nothing (the ping buttons' "P") or that have none (the panes, lists and fields).

#include "app/DOzuZe.h"

namespace pelmora {

struct Variables;

void ApplyAccessibleNames(const TDOzuZe::Controls& ui, const Variables& vars);

// A caption as a spoken name: without its accelerator "&" and without a trailing ":" or blanks.
std::string SpokenName(const std::string& caption);

}  // namespace pelmora
