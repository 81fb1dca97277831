#include "DocumentManager.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QSaveFile>
#include <QSize>
#include <QStyle>

#include <exception>
#include <filesystem>
#include <system_error>

#include "AppServices.h"
#include "DocTemplate.h"
#include "Document.h"
#include "DocumentArchive.h"
#include "DocumentFrame.h"
#include "RecentFileList.h"

namespace {

// A new document window takes three quarters of the area, but no less than this.
constexpr QSize kMinFrameSize(320, 240);

// True when the two paths name one file: the same device and inode (or the platform's file
// identity) when both exist, so that symbolic links, hard links and other spellings of one
// picture count as that picture; otherwise the same absolute, cleaned path.
bool SameFile(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty()) {
        return false;
    }
    std::error_code ec;
    const bool same =
        std::filesystem::equivalent(std::filesystem::path(QFile::encodeName(a).toStdString()),
                                    std::filesystem::path(QFile::encodeName(b).toStdString()), ec);
    if (!ec) {
        return same;
    }
    return RecentFileList::Normalize(a) == RecentFileList::Normalize(b);
}

} // namespace

DocumentManager::DocumentManager(QMdiArea& area, RecentFileList* recent,
                                 const AppServices& services, QObject* parent)
    : QObject(parent), m_area(area), m_services(services), m_recent(recent) {}

DocumentManager::~DocumentManager() {
    for (const QPointer<Document>& doc : m_documents) {
        delete doc.data();
    }
}

void DocumentManager::AddDocTemplate(std::unique_ptr<DocTemplate> docTemplate) {
    m_template = std::move(docTemplate);
}

QWidget* DocumentManager::dialogParent() const {
    return m_area.window();
}

Document* DocumentManager::OnFileOpen() {
    QFileDialog dialog(dialogParent(), tr("Open"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (m_template) {
        dialog.setNameFilters(m_template->FileDialogFilters());
    }
    if (!m_dialogDir.isEmpty()) {
        dialog.setDirectory(m_dialogDir);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return nullptr;
    }
    const QString path = dialog.selectedFiles().constFirst();
    m_dialogDir = QFileInfo(path).absolutePath();
    return OpenDocumentFile(path);
}

Document* DocumentManager::OpenDocumentFile(const QString& path) {
    if (!m_template || path.isEmpty()) {
        return nullptr;
    }
    const QString fullPath = RecentFileList::Normalize(path);
    if (Document* open = FindDocument(fullPath)) {
        activate(*open);
        return open;
    }

    // Only regular files are opened: opening a FIFO would wait for a writer forever, and a
    // device or socket is no picture.
    QFile file(fullPath);
    std::error_code ec;
    const auto type = std::filesystem::status(QFile::encodeName(fullPath).toStdString(), ec).type();
    const bool special = !ec && type != std::filesystem::file_type::regular &&
                         type != std::filesystem::file_type::directory;
    if (special || !file.open(QIODevice::ReadOnly)) {
        m_services.ask(dialogParent(),
                       tr("Cannot open the file \"%1\".\n\n%2")
                           .arg(QDir::toNativeSeparators(fullPath),
                                special ? tr("It is not a regular file.") : file.errorString()),
                       QMessageBox::Warning, QMessageBox::Ok);
        return nullptr;
    }
    std::unique_ptr<Document> doc = m_template->CreateNewDocument();
    if (!doc) {
        return nullptr;
    }
    doc->setOpenedPath(fullPath);
    if (file.size() > 0) {
        try {
            DocumentArchive ar(file, DocumentArchive::Mode::Load);
            doc->Serialize(ar);
        } catch (const std::exception& e) {
            m_services.ask(
                dialogParent(),
                tr("Cannot read the file \"%1\".\n\n%2")
                    .arg(QDir::toNativeSeparators(fullPath), QString::fromUtf8(e.what())),
                QMessageBox::Warning, QMessageBox::Ok);
            return nullptr;
        }
    }
    file.close();
    doc->SetPathName(fullPath);
    if (m_recent != nullptr) {
        m_recent->Add(fullPath);
    }
    Document* kept = adopt(std::move(doc));
    showNewFrame(*kept);
    return kept;
}

Document* DocumentManager::OnFileNew() {
    if (!m_template) {
        return nullptr;
    }
    std::unique_ptr<Document> doc = m_template->CreateNewDocument();
    if (!doc || !doc->OnNewDocument()) {
        return nullptr;
    }
    const QString title = m_template->NextUntitledTitle();
    m_template->CountUntitled();
    doc->SetTitle(title);
    Document* kept = adopt(std::move(doc));
    showNewFrame(*kept);
    return kept;
}

bool DocumentManager::OnFileSave(Document& doc) {
    if (doc.GetPathName().isEmpty()) {
        return OnFileSaveAs(doc);
    }
    // The document holds nothing beyond its path: the file it names is already all there is.
    return true;
}

bool DocumentManager::OnFileSaveAs(Document& doc) {
    QFileDialog dialog(dialogParent(), tr("Save As"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (m_template) {
        dialog.setNameFilters(m_template->FileDialogFilters());
    }
    if (!doc.GetPathName().isEmpty()) {
        dialog.setDirectory(QFileInfo(doc.GetPathName()).absolutePath());
        dialog.selectFile(QFileInfo(doc.GetPathName()).fileName());
    } else {
        if (!m_dialogDir.isEmpty()) {
            dialog.setDirectory(m_dialogDir);
        }
        dialog.selectFile(doc.GetTitle());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return false;
    }
    const QString path = dialog.selectedFiles().constFirst();
    m_dialogDir = QFileInfo(path).absolutePath();
    return SaveDocumentAs(doc, path);
}

bool DocumentManager::isOwnFile(const Document& doc, const QString& path) const {
    return SameFile(doc.GetPathName(), path) || SameFile(doc.openedPath(), path);
}

bool DocumentManager::SaveDocumentAs(Document& doc, const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    const QString fullPath = RecentFileList::Normalize(path);
    if (!isOwnFile(doc, fullPath)) {
        QSaveFile file(fullPath);
        bool ok = file.open(QIODevice::WriteOnly);
        QString why = file.errorString();
        if (ok) {
            try {
                DocumentArchive ar(file, DocumentArchive::Mode::Store);
                doc.Serialize(ar);
            } catch (const std::exception& e) {
                ok = false;
                why = QString::fromUtf8(e.what());
            }
        }
        if (ok) {
            ok = file.commit();
            why = file.errorString();
        } else {
            file.cancelWriting();
        }
        if (!ok) {
            m_services.ask(dialogParent(),
                           tr("Cannot save the file \"%1\".\n\n%2")
                               .arg(QDir::toNativeSeparators(fullPath), why),
                           QMessageBox::Warning, QMessageBox::Ok);
            return false;
        }
    }
    doc.SetPathName(fullPath);
    if (m_recent != nullptr) {
        m_recent->Add(fullPath);
    }
    return true;
}

DocumentFrame* DocumentManager::OnWindowNew(Document& doc) {
    return showNewFrame(doc);
}

bool DocumentManager::CloseDocument(Document& doc) {
    const QList<DocumentFrame*> frames = doc.frames();
    for (DocumentFrame* frame : frames) {
        if (!frame->close()) {
            return false;
        }
    }
    return true;
}

bool DocumentManager::CloseAllDocuments() {
    for (Document* doc : documents()) {
        if (!CloseDocument(*doc)) {
            return false;
        }
    }
    return true;
}

DocumentFrame* DocumentManager::activeFrame() const {
    return qobject_cast<DocumentFrame*>(m_area.currentSubWindow());
}

Document* DocumentManager::activeDocument() const {
    DocumentFrame* frame = activeFrame();
    return frame != nullptr ? frame->document() : nullptr;
}

Document* DocumentManager::FindDocument(const QString& path) const {
    for (Document* doc : documents()) {
        if (SameFile(doc->GetPathName(), path)) {
            return doc;
        }
    }
    return nullptr;
}

std::vector<Document*> DocumentManager::documents() const {
    std::vector<Document*> docs;
    for (const QPointer<Document>& doc : m_documents) {
        if (doc) {
            docs.push_back(doc.data());
        }
    }
    return docs;
}

Document* DocumentManager::adopt(std::unique_ptr<Document> doc) {
    Document* kept = doc.release();
    kept->setParent(this);
    m_documents.emplace_back(kept);
    connect(kept, &Document::titleChanged, this, &DocumentManager::documentTitleChanged);
    connect(kept, &Document::lastFrameClosed, this, &DocumentManager::onLastFrameClosed);
    emit documentsChanged();
    return kept;
}

DocumentFrame* DocumentManager::showNewFrame(Document& doc) {
    DocumentFrame* frame = m_template ? m_template->CreateNewFrame(doc) : nullptr;
    if (frame == nullptr) {
        if (doc.frames().isEmpty()) {
            onLastFrameClosed(&doc);
        }
        return nullptr;
    }
    m_area.addSubWindow(frame);
    const QSize area = m_area.viewport()->size();
    if (area.width() > 0 && area.height() > 0) {
        frame->resize(qMax(kMinFrameSize.width(), area.width() * 3 / 4),
                      qMax(kMinFrameSize.height(), area.height() * 3 / 4));
        // New windows cascade from the top-left corner, each one title bar lower and further
        // right, and start at the corner again before one would leave the area.
        const int step =
            qMax(16, frame->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, frame));
        const int room = qMin(area.width() - frame->width(), area.height() - frame->height());
        const int places = qMax(1, room / step + 1);
        const int k = static_cast<int>((m_area.subWindowList().size() - 1) % places);
        frame->move(k * step, k * step);
    }
    frame->show();
    m_area.setActiveSubWindow(frame);
    frame->OnInitialUpdate();
    emit documentsChanged();
    return frame;
}

void DocumentManager::activate(Document& doc) {
    if (doc.frames().isEmpty()) {
        return;
    }
    DocumentFrame* frame = doc.frames().constFirst();
    if (frame->isMinimized()) {
        frame->showNormal();
    }
    m_area.setActiveSubWindow(frame);
}

void DocumentManager::onLastFrameClosed(Document* doc) {
    for (auto it = m_documents.begin(); it != m_documents.end(); ++it) {
        if (it->data() == doc) {
            m_documents.erase(it);
            doc->deleteLater();
            emit documentsChanged();
            return;
        }
    }
}
