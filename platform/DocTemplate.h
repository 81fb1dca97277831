// The one kind of document a program knows: how to make its document and its frames, and the
// template string that names it. The string has seven fields separated by "\n": window title,
// document name (base of untitled names), File New name, filter name, filter extension, file
// type id, file type name.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class Document;
class DocumentFrame;

class DocTemplate {
public:
    enum DocStringIndex {
        windowTitle,
        docName,
        fileNewName,
        filterName,
        filterExt,
        regFileTypeId,
        regFileTypeName,
    };

    using DocumentFactory = std::function<std::unique_ptr<Document>()>;
    // Makes a frame (with its view) for the document; the frame registers with the document.
    using FrameFactory = std::function<DocumentFrame*(Document&)>;

    DocTemplate(const QString& templateString, DocumentFactory makeDocument,
                FrameFactory makeFrame);

    // The field, or an empty string when the template string has fewer fields.
    QString GetDocString(DocStringIndex index) const;

    std::unique_ptr<Document> CreateNewDocument() const;
    DocumentFrame* CreateNewFrame(Document& doc) const;

    // The title the next untitled document gets: the document name (or "Untitled") followed by
    // a running number starting at 1. The number only advances through CountUntitled().
    QString NextUntitledTitle() const;
    void CountUntitled() { ++m_untitledCount; }

    // The name filters of the Open and Save As dialogs: the document's own filter when the
    // template names one, and always "All Files (*)".
    QStringList FileDialogFilters() const;

private:
    QStringList m_fields;
    DocumentFactory m_makeDocument;
    FrameFactory m_makeFrame;
    int m_untitledCount = 0;
};
