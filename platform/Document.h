// A document: the record that a file was opened (or a new untitled document made), with its
// path, its title and the frames that show it. Program documents derive from it and override
// OnNewDocument and Serialize. A document is never marked modified, so closing never asks to
// save. The DocumentManager creates, owns and deletes documents.
#pragma once

#include <QList>
#include <QObject>
#include <QString>

class DocumentArchive;
class DocumentFrame;

class Document : public QObject {
    Q_OBJECT
public:
    Document() = default;
    ~Document() override;

    // File New: prepares an empty document; false discards it.
    virtual bool OnNewDocument() { return true; }
    // Reads the document from, or stores it to, the archive's file. Only called for files that
    // are not empty when loading.
    virtual void Serialize(DocumentArchive& ar);

    // The full path the document carries (empty for an untitled document). Setting it makes the
    // title the path's file name.
    const QString& GetPathName() const { return m_pathName; }
    void SetPathName(const QString& path);
    const QString& GetTitle() const { return m_title; }
    void SetTitle(const QString& title);

    // The file this document was opened from, kept even after Save As gives it another name, so
    // that no save ever writes over it. Empty for a document made by File New.
    const QString& openedPath() const { return m_openedPath; }
    void setOpenedPath(const QString& path) { m_openedPath = path; }

    // The frames showing this document, in creation order.
    const QList<DocumentFrame*>& frames() const { return m_frames; }
    void AddFrame(DocumentFrame* frame);
    // Forgets `frame`; when it was the last one, emits lastFrameClosed.
    void RemoveFrame(DocumentFrame* frame);
    // Each frame's title: the document's title, followed by ":1", ":2", ... when there are
    // several frames.
    void UpdateFrameTitles();

signals:
    void titleChanged(Document* doc);
    void lastFrameClosed(Document* doc);

private:
    QString m_pathName;
    QString m_title;
    QString m_openedPath;
    QList<DocumentFrame*> m_frames;
};
