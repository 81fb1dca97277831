// The modal message box that AppServices::ask shows when no asker is installed.
#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

namespace MessageBox {
// Shows a modal message box and returns the button pressed; NoButton when it was ended without
// an answer (a quit request, or its window closing meanwhile).
QMessageBox::StandardButton Show(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                                 QMessageBox::StandardButtons buttons,
                                 QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
} // namespace MessageBox
