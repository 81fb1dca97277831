#include "DialogTemplate.h"

DialogTemplate::DialogTemplate(QDialog* dialog, int cx, int cy)
    : m_dialog(dialog), m_units(DialogFont()) {
    m_dialog->setFont(DialogFont());
    m_dialog->setFixedSize(m_units.toPixels(cx, cy));
}

void DialogTemplate::placeWidget(QWidget* control, int id, const QRect& du, bool enabled) {
    if (control->parentWidget() != m_dialog) {
        control->setParent(m_dialog);
    }
    if (id >= 0) {
        control->setObjectName(QString::number(id));
    }
    control->setGeometry(m_units.toPixels(du.x(), du.y(), du.width(), du.height()));
    control->setEnabled(enabled);
    if (control->focusPolicy() & Qt::TabFocus) {
        if (m_lastTabStop != nullptr) {
            QWidget::setTabOrder(m_lastTabStop, control);
        }
        m_lastTabStop = control;
    }
}
