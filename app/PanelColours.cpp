// Fixed background and dark text for the window's painted panels and grey fields.
#include "app/PanelColours.h"

#include <QLineEdit>
#include <QPalette>
#include <QWidget>

namespace {

/// Sets `role` dark in the active and inactive groups and mid grey in the disabled one.
void SetDarkText(QPalette& palette, QPalette::ColorRole role)
{
    palette.setColor(QPalette::Active, role, kPanelText);
    palette.setColor(QPalette::Inactive, role, kPanelText);
    palette.setColor(QPalette::Disabled, role, kPanelDisabledText);
}

} // namespace

void PaintFixedPanel(QWidget* panel, const QColor& background)
{
    panel->setAutoFillBackground(true);
    QPalette colours = panel->palette();
    colours.setColor(QPalette::Window, background);
    // Labels, radio buttons, check boxes, group titles and the status bar all draw with
    // WindowText; a role set here passes on to every child that does not set its own.
    SetDarkText(colours, QPalette::WindowText);
    panel->setPalette(colours);
}

void PaintFixedField(QLineEdit* field, const QColor& background)
{
    QPalette colours = field->palette();
    colours.setColor(QPalette::Base, background);
    SetDarkText(colours, QPalette::Text);
    field->setPalette(colours);
}
