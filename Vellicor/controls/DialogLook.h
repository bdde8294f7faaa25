#pragma once

#include "base/AlertPresenter.h"

#include <QFont>
#include <QIcon>
#include <QPixmap>

class QMessageBox;
class QWidget;

// The one look of the program's alerts and dialogs: the dark palette of the
// screens and sheets, our own icons, buttons drawn like the sheets' buttons
// with the same focus ring. GUI thread only.

// Gives dialog (and every control in it) the dark palette, the screens' font,
// the button look and sunken text fields.
void applyDarkDialogLook(QWidget* dialog);

// Our icon for an alert of style, side points square at the device-pixel
// ratio given.
QPixmap alertIcon(AlertStyle style, int side, qreal devicePixelRatio);

// The same icon at any size, for the style's standard message-box icons, so
// that a box built by Qt itself (a folder chooser's warning) shows ours too.
QIcon alertStandardIcon(AlertStyle style);

// A message box in the dark look with our icon for style in place of the
// system's, wide enough that a short title or text is never squeezed. Call it
// once the box has its title.
void applyAlertLook(QMessageBox* box, AlertStyle style);

// The narrowest alert whose title bar shows title whole in font.
int alertWidthForTitle(const QString& title, QFont font);
