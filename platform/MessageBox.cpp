#include "MessageBox.h"

#include <QGuiApplication>

#include <utility>

namespace {
MessageBox::Answerer& CurrentAnswerer() {
    static MessageBox::Answerer answerer;
    return answerer;
}
} // namespace

namespace MessageBox {

QMessageBox::StandardButton Show(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                                 QMessageBox::StandardButtons buttons,
                                 QMessageBox::StandardButton defaultButton) {
    if (const auto& answerer = CurrentAnswerer()) {
        return answerer(text);
    }
    // Captioned with the application's name, as the framework's message boxes are.
    QMessageBox box(icon, QGuiApplication::applicationDisplayName(), text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton) {
        box.setDefaultButton(defaultButton);
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void SetAnswerer(Answerer answerer) {
    CurrentAnswerer() = std::move(answerer);
}

} // namespace MessageBox
