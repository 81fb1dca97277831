#include "DocTemplate.h"

#include "Document.h"
#include "DocumentFrame.h"

DocTemplate::DocTemplate(const QString& templateString, DocumentFactory makeDocument,
                         FrameFactory makeFrame)
    : m_fields(templateString.split(QLatin1Char('\n'))), m_makeDocument(std::move(makeDocument)),
      m_makeFrame(std::move(makeFrame)) {}

QString DocTemplate::GetDocString(DocStringIndex index) const {
    return index < m_fields.size() ? m_fields.at(index) : QString();
}

std::unique_ptr<Document> DocTemplate::CreateNewDocument() const {
    return m_makeDocument ? m_makeDocument() : nullptr;
}

DocumentFrame* DocTemplate::CreateNewFrame(Document& doc) const {
    return m_makeFrame ? m_makeFrame(doc) : nullptr;
}

QString DocTemplate::NextUntitledTitle() const {
    QString base = GetDocString(docName);
    if (base.isEmpty()) {
        base = QStringLiteral("Untitled");
    }
    return base + QString::number(m_untitledCount + 1);
}

QStringList DocTemplate::FileDialogFilters() const {
    QStringList filters;
    const QString name = GetDocString(filterName);
    const QString ext = GetDocString(filterExt);
    if (!name.isEmpty() && !ext.isEmpty()) {
        filters.append(QStringLiteral("%1 (*%2)").arg(name, ext));
    }
    filters.append(QStringLiteral("All Files (*)"));
    return filters;
}
