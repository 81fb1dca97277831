// Builds a dialog the way a dialog template does: a fixed client size and controls at
// rectangles given in dialog units, converted with the units of the dialog's own font, so that
// the layout scales with that font and captions fit as they were laid out.
#pragma once

#include <QDialog>
#include <QRect>

#include "DialogUnits.h"

class DialogTemplate {
public:
    // Gives `dialog` the dialog font and a fixed client size of cx x cy dialog units.
    DialogTemplate(QDialog* dialog, int cx, int cy);

    // Places `control` (a child of the dialog) at x, y, cx, cy dialog units, names it after
    // `id` ("1002"; no name when id is negative) and creates it enabled or disabled. Controls
    // placed in turn follow each other in the focus chain, so the order of the calls is the
    // tab order, as in a template.
    template <class Control>
    Control* place(Control* control, int id, int x, int y, int cx, int cy, bool enabled = true) {
        return place(control, id, QRect(x, y, cx, cy), enabled);
    }
    // The same with the rectangle `du` in dialog units.
    template <class Control>
    Control* place(Control* control, int id, const QRect& du, bool enabled = true) {
        placeWidget(control, id, du, enabled);
        return control;
    }

    const DialogUnits& units() const { return m_units; }

private:
    void placeWidget(QWidget* control, int id, const QRect& du, bool enabled);

    QDialog* m_dialog;
    DialogUnits m_units;
    QWidget* m_lastTabStop = nullptr;
};
