#include "DocumentFrame.h"

#include <QCloseEvent>

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
    if (event->isAccepted()) {
        leaveDocument();
    }
}

void DocumentFrame::leaveDocument() {
    if (Document* doc = m_doc) {
        m_doc = nullptr;
        doc->RemoveFrame(this);
    }
}
