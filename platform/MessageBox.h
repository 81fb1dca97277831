// Questions and messages to the user, through one function that tests can answer.
#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

namespace MessageBox {
// Shows a modal message box and returns the button pressed; NoButton when it was ended without
// an answer (a quit request, or its window closing meanwhile).
QMessageBox::StandardButton Show(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                                 QMessageBox::StandardButtons buttons,
                                 QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
// Tests install an answerer; it receives the text and returns the answer without showing
// anything. An empty function restores the real message box.
using Answerer = std::function<QMessageBox::StandardButton(const QString& text)>;
void SetAnswerer(Answerer answerer);
} // namespace MessageBox
