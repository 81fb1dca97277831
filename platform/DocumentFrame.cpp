#include "DocumentFrame.h"

#include <QCloseEvent>
#include <QDialog>

#include "Document.h"

DocumentFrame::DocumentFrame(Document& doc, QWidget* parent) : QMdiSubWindow(parent), m_doc(&doc) {
    setAttribute(Qt::WA_DeleteOnClose);
    doc.AddFrame(this);
}

DocumentFrame::~DocumentFrame() {
    leaveDocument();
}

void DocumentFrame::closeEvent(QCloseEvent* event) {
    if (!CanCloseFrame()) {
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
    if (!event->isAccepted()) {
        return;
    }
    leaveDocument();
    if (m_dialogScopes > 0) {
        // A dialog of this window is running: it ends as if cancelled, and the window is
        // deleted when the code that ran it has returned, not inside the dialog's loop.
        setAttribute(Qt::WA_DeleteOnClose, false);
        m_deleteWhenIdle = true;
        for (QDialog* dialog : findChildren<QDialog*>()) {
            if (dialog->isVisible()) {
                dialog->reject();
            }
        }
    }
}

void DocumentFrame::leaveDocument() {
    if (Document* doc = m_doc) {
        m_doc = nullptr;
        doc->RemoveFrame(this);
    }
}

DocumentFrame::DialogScope::DialogScope(QWidget* widget) {
    for (QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        if (auto* frame = qobject_cast<DocumentFrame*>(w)) {
            m_frame = frame;
            ++frame->m_dialogScopes;
            return;
        }
    }
}

DocumentFrame::DialogScope::~DialogScope() {
    if (DocumentFrame* frame = m_frame) {
        if (--frame->m_dialogScopes == 0 && frame->m_deleteWhenIdle) {
            frame->deleteLater();
        }
    }
}

void DocumentFrame::setFrameTitle(const QString& title) {
    m_title = title;
    setWindowTitle(m_title + m_marker);
}

void DocumentFrame::setTitleMarker(const QString& marker, const QString& why) {
    m_marker = marker;
    setToolTip(marker.isEmpty() ? QString() : why);
    setWindowTitle(m_title + m_marker);
}
