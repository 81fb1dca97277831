// A document window in the MDI area: a QMdiSubWindow that belongs to one document. The frame
// is deleted once it has closed; from the moment its close is accepted the document no longer
// counts it. Program frames derive from it, put the view in it and override the hooks.
//
// Code that runs a modal dialog (or anything with its own event loop) on behalf of a frame's
// contents holds a DialogScope for that time. A frame closed while a scope is open (by any
// route: a quit request, a program close) ends its own dialogs as if cancelled and is deleted
// only after the last scope has ended, so nothing on the stack above the dialog's loop finds
// its view gone.
#pragma once

#include <QMdiSubWindow>
#include <QPointer>
#include <QString>

#include "Document.h"

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

    // Keeps the frame around `widget` (if any) alive while it lives; see above.
    class DialogScope {
    public:
        explicit DialogScope(QWidget* widget);
        ~DialogScope();
        DialogScope(const DialogScope&) = delete;
        DialogScope& operator=(const DialogScope&) = delete;

    private:
        QPointer<DocumentFrame> m_frame;
    };

    // The title the document gives this frame; the window shows it followed by the marker.
    void setFrameTitle(const QString& title);
    // A note shown after the title (" (not saved)"), with `why` as the frame's tooltip; an empty
    // marker removes both.
    void setTitleMarker(const QString& marker, const QString& why);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void leaveDocument();

    QPointer<Document> m_doc;
    int m_dialogScopes = 0;
    bool m_deleteWhenIdle = false;
    QString m_title;
    QString m_marker;
};
