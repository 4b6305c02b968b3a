// Colours of the panels the window paints itself: a fixed light background always comes with
// a fixed dark text colour, so a dark desktop palette cannot put light text on them.
#pragma once

#include <QColor>

class QLineEdit;
class QWidget;

/// The text on every panel and field painted in a fixed light colour.
inline const QColor kPanelText(0, 0, 0);
/// The same text while its control is disabled: still readable on the light panels.
inline const QColor kPanelDisabledText(112, 112, 112);

/// Fills `panel` with `background` and makes its text, and the text of the labels, radio
/// buttons, check boxes, group titles and status bar inside it, dark. Buttons and editable
/// fields inside keep the system's colours: they paint their own background. Window thread.
void PaintFixedPanel(QWidget* panel, const QColor& background);

/// Gives a read-only field the fixed `background` with dark text (the selection keeps the
/// system's colours). Window thread.
void PaintFixedField(QLineEdit* field, const QColor& background);
