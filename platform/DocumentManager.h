// The document plumbing of a multiple-document program: opening files into documents (at most
// one document per path), new untitled documents, Save and Save As, new windows on a document,
// closing documents and all of them, and the recent-file list. Frames live in the QMdiArea;
// documents are owned here and deleted when their last frame has closed.
//
// Files are compared by identity: two paths name one file when they lead to the same file
// (symbolic links, hard links and "./" included), or, for files that do not exist, when their
// absolute, cleaned paths are equal.
//
// Opening a file: a file already open (under any path) only activates its window. Otherwise the
// file is opened for reading (failure: a message naming the file and the reason, no document, no
// window); the document reads it through Serialize only when it is not empty; it then carries the
// path (title = file name), the path goes to the top of the recent-file list, and a frame is made,
// shown and given its initial update.
//
// Saving never writes over the file a document was opened from or the file it is named after
// (under whatever path it is reached):
// the documents of this plumbing hold no data beyond their path, so Save with a path leaves the
// file as it is and Save As aimed at the document's own files only keeps the name. Save As to
// another name stores the document there (Serialize in storing mode, written atomically) and
// renames the document.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <vector>

class AppServices;
class Document;
class DocumentFrame;
class DocTemplate;
class QMdiArea;
class QWidget;
class RecentFileList;

class DocumentManager : public QObject {
    Q_OBJECT
public:
    // `area` hosts the frames; `recent` may be null (no list kept); `services` asks the user
    // when a file cannot be opened or saved. All must outlive the manager's use of them.
    DocumentManager(QMdiArea& area, RecentFileList* recent, const AppServices& services,
                    QObject* parent = nullptr);
    ~DocumentManager() override;

    void AddDocTemplate(std::unique_ptr<DocTemplate> docTemplate);
    DocTemplate* docTemplate() const { return m_template.get(); }

    // File Open: asks for a file (the template's filters, "All Files (*)"), then opens it.
    // Null when cancelled or when opening failed.
    Document* OnFileOpen();
    // Opens `path` as described above; null when it could not be opened.
    Document* OpenDocumentFile(const QString& path);
    // File New: an untitled document ("<name>1", "<name>2", ...) that reads nothing.
    Document* OnFileNew();
    // Save: an untitled document goes through Save As; otherwise nothing needs writing.
    bool OnFileSave(Document& doc);
    // Save As: asks for a name (proposing the document's path, or its title), then saves there.
    bool OnFileSaveAs(Document& doc);
    // Save As without the dialog.
    bool SaveDocumentAs(Document& doc, const QString& path);
    // Window > New Window: another frame on the same document.
    DocumentFrame* OnWindowNew(Document& doc);

    // Closes every frame of `doc`; false when one refused (the rest stay open).
    bool CloseDocument(Document& doc);
    // Closes every document window; false as soon as one refuses.
    bool CloseAllDocuments();

    // The document of the MDI area's current window, or null.
    DocumentFrame* activeFrame() const;
    Document* activeDocument() const;
    // The open document whose file is the file at `path` (compared by identity), or null.
    Document* FindDocument(const QString& path) const;
    std::vector<Document*> documents() const;

    // The folder the Open and Save As dialogs start in (the last one used).
    QString dialogDirectory() const { return m_dialogDir; }
    void setDialogDirectory(const QString& dir) { m_dialogDir = dir; }

signals:
    void documentTitleChanged(Document* doc);
    void documentsChanged();

private:
    Document* adopt(std::unique_ptr<Document> doc);
    DocumentFrame* showNewFrame(Document& doc);
    void activate(Document& doc);
    void onLastFrameClosed(Document* doc);
    QWidget* dialogParent() const;
    bool isOwnFile(const Document& doc, const QString& path) const;

    QMdiArea& m_area;
    const AppServices& m_services;
    RecentFileList* m_recent;
    std::unique_ptr<DocTemplate> m_template;
    std::vector<QPointer<Document>> m_documents;
    QString m_dialogDir;
};
