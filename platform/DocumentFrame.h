// A document window in the MDI area: a QMdiSubWindow that belongs to one document. The frame
// is deleted once it has closed; from the moment its close is accepted the document no longer
// counts it. Program frames derive from it, put the view in it and override the hooks.
#pragma once

#include <QMdiSubWindow>
#include <QPointer>

class Document;

class DocumentFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    // Registers the frame with `doc`; deletes itself when closed.
    explicit DocumentFrame(Document& doc, QWidget* parent = nullptr);
    ~DocumentFrame() override;

    // The document shown, or null once the frame has closed.
    Document* document() const { return m_doc; }

    // Runs once the frame has been added to the MDI area and shown: the view's first update.
    virtual void OnInitialUpdate() {}
    // Asked before the frame closes; false keeps it open.
    virtual bool CanCloseFrame() { return true; }

    // Called by the document when it goes away first.
    void detachDocument() { m_doc = nullptr; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void leaveDocument();

    QPointer<Document> m_doc;
};
