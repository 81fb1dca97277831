#include "MessageBox.h"

#include <QGuiApplication>
#include <QPointer>

#include "DocumentFrame.h"

namespace MessageBox {

QMessageBox::StandardButton Show(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                                 QMessageBox::StandardButtons buttons,
                                 QMessageBox::StandardButton defaultButton) {
    // The window the box belongs to stays until the box has returned; the box itself lives on
    // the heap, so that whatever deletes its parent meanwhile also deletes it exactly once.
    const DocumentFrame::DialogScope scope(parent);
    // Captioned with the application's name, as the framework's message boxes are.
    const QPointer<QMessageBox> box =
        new QMessageBox(icon, QGuiApplication::applicationDisplayName(), text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton) {
        box->setDefaultButton(defaultButton);
    }
    const int answer = box->exec();
    if (box.isNull()) {
        return QMessageBox::NoButton;
    }
    delete box.data();
    return static_cast<QMessageBox::StandardButton>(answer);
}

} // namespace MessageBox
