#pragma once

#include <QString>

class QAbstractButton;
class QWidget;

namespace pelmora {

// Saves what `widget` shows as "<name>.png" in the folder named by the environment variable
// PELMORA_SCREENSHOTS (created when missing). Returns the file's path, or an empty string when the
// variable is unset or the file cannot be written. Meant for tests that leave pictures for a human
// to look at; works on the offscreen platform.
QString SaveScreenshot(QWidget* widget, const QString& name);

// Whether a button's caption shows whole in what a picture would show: a check box's own size
// hint (box, gap, text) fits its width; a push button's text fits inside its frame (a flat one
// has none).
bool CaptionFits(const QAbstractButton* b);

}  // namespace pelmora
