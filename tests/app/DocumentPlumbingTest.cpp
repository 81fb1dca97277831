// The document plumbing on its own, with a recording document type: opening (once per path,
// reading only non-empty files, failures reported with no window), untitled numbering, frame
// titles, Save and Save As never writing over a document's own files, closing and refusals.
#include <QFile>
#include <QMdiArea>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>

#include "AppTestSupport.h"
#include "DocTemplate.h"
#include "Document.h"
#include "DocumentArchive.h"
#include "DocumentFrame.h"
#include "AppServices.h"
#include "DocumentManager.h"
#include "RecentFileList.h"

namespace {
class RecordingDoc : public Document {
public:
    int loads = 0;
    int stores = 0;
    QString loadedPath;
    QString loadedName;
    QByteArray storeBytes; // what Serialize writes when storing
    void Serialize(DocumentArchive& ar) override {
        if (ar.IsLoading()) {
            ++loads;
            loadedPath = ar.GetFilePath();
            loadedName = ar.GetFileName();
        } else {
            ++stores;
            ar.file().write(storeBytes);
        }
    }
};

class RefusingFrame : public DocumentFrame {
public:
    explicit RefusingFrame(Document& doc) : DocumentFrame(doc) {}
    bool refuse = false;
    int initialUpdates = 0;
    void OnInitialUpdate() override { ++initialUpdates; }
    bool CanCloseFrame() override { return !refuse; }
};

class DocumentPlumbingTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings = std::make_unique<QSettings>(dir.path() + "/s.ini", QSettings::IniFormat);
        recent = std::make_unique<RecentFileList>(*settings, 10);
        area.resize(800, 600);
        area.show();
        services.setAsker([this](QWidget*, const QString& text, QMessageBox::Icon,
                                 QMessageBox::StandardButtons, QMessageBox::StandardButton) {
            messages.append(text);
            return QMessageBox::Ok;
        });
        docs = std::make_unique<DocumentManager>(area, recent.get(), services);
        docs->AddDocTemplate(std::make_unique<DocTemplate>(
            "\nZelvor\nZelvor\n\n\nZelvor.Document\nZelvor.Document",
            [] { return std::make_unique<RecordingDoc>(); },
            [](Document& doc) { return new RefusingFrame(doc); }));
    }
    void TearDown() override {
        docs->CloseAllDocuments();
        Settle();
    }
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.path() + "/" + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    static RecordingDoc* rec(Document* doc) { return static_cast<RecordingDoc*>(doc); }

    QTemporaryDir dir;
    QMdiArea area;
    AppServices services{std::string()};
    std::unique_ptr<QSettings> settings;
    std::unique_ptr<RecentFileList> recent;
    std::unique_ptr<DocumentManager> docs;
    QStringList messages;
};
} // namespace

TEST_F(DocumentPlumbingTest, TemplateStringFieldsAndFilters) {
    const DocTemplate* t = docs->docTemplate();
    EXPECT_EQ(t->GetDocString(DocTemplate::windowTitle), "");
    EXPECT_EQ(t->GetDocString(DocTemplate::docName), "Zelvor");
    EXPECT_EQ(t->GetDocString(DocTemplate::regFileTypeName), "Zelvor.Document");
    EXPECT_EQ(t->FileDialogFilters(), QStringList({"All Files (*)"}));
    const DocTemplate named("\nDoc\nDoc\nPlans\n.pln\n\n", {}, {});
    EXPECT_EQ(named.FileDialogFilters(), QStringList({"Plans (*.pln)", "All Files (*)"}));
    const DocTemplate nameless("", {}, {});
    EXPECT_EQ(nameless.NextUntitledTitle(), "Untitled1");
}

TEST_F(DocumentPlumbingTest, OpeningReadsNonEmptyFilesOnceAndReopeningOnlyActivates) {
    const QString picture = write("plan.png", "not really a picture");
    const QString empty = write("empty.png", "");

    Document* doc = docs->OpenDocumentFile(picture);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(rec(doc)->loads, 1);
    EXPECT_EQ(rec(doc)->loadedPath, picture);
    EXPECT_EQ(rec(doc)->loadedName, "plan.png");
    EXPECT_EQ(doc->GetTitle(), "plan.png");
    EXPECT_EQ(doc->GetPathName(), picture);
    EXPECT_EQ(recent->at(0), picture);
    ASSERT_EQ(doc->frames().size(), 1);
    EXPECT_EQ(static_cast<RefusingFrame*>(doc->frames()[0])->initialUpdates, 1);
    EXPECT_EQ(doc->frames()[0]->windowTitle(), "plan.png");

    Document* blank = docs->OpenDocumentFile(empty);
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(rec(blank)->loads, 0); // a zero-byte file is not read
    EXPECT_EQ(blank->GetTitle(), "empty.png");
    EXPECT_EQ(docs->activeDocument(), blank);

    // The same path again (spelled differently) only brings its window forward.
    Document* again = docs->OpenDocumentFile(dir.path() + "/./plan.png");
    EXPECT_EQ(again, doc);
    EXPECT_EQ(rec(doc)->loads, 1);
    EXPECT_EQ(docs->documents().size(), 2u);
    EXPECT_EQ(area.subWindowList().size(), 2);
    EXPECT_EQ(docs->activeDocument(), doc);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(DocumentPlumbingTest, AFileThatCannotBeOpenedIsNamedAndMakesNoWindow) {
    const QString missing = dir.path() + "/gone.png";
    EXPECT_EQ(docs->OpenDocumentFile(missing), nullptr);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(missing)) << messages[0].toStdString();
    EXPECT_TRUE(area.subWindowList().isEmpty());
    EXPECT_TRUE(docs->documents().empty());
    EXPECT_TRUE(recent->isEmpty());

    // A folder is not a file either, and a FIFO is refused without waiting for a writer.
    EXPECT_EQ(docs->OpenDocumentFile(dir.path()), nullptr);
    EXPECT_EQ(messages.size(), 2);
    const QString fifo = dir.path() + "/pipe.png";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(docs->OpenDocumentFile(fifo), nullptr);
    ASSERT_EQ(messages.size(), 3);
    EXPECT_TRUE(messages[2].contains("not a regular file")) << messages[2].toStdString();
    EXPECT_TRUE(area.subWindowList().isEmpty());
}

TEST_F(DocumentPlumbingTest, UntitledDocumentsAreNumberedAndReadNothing) {
    Document* first = docs->OnFileNew();
    Document* second = docs->OnFileNew();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->GetTitle(), "Zelvor1");
    EXPECT_EQ(second->GetTitle(), "Zelvor2");
    EXPECT_TRUE(first->GetPathName().isEmpty());
    EXPECT_EQ(rec(first)->loads, 0);
    // Numbers are not reused after a close.
    ASSERT_TRUE(docs->CloseDocument(*second));
    Settle();
    EXPECT_EQ(docs->OnFileNew()->GetTitle(), "Zelvor3");
    EXPECT_TRUE(recent->isEmpty());
}

TEST_F(DocumentPlumbingTest, FramesOfOneDocumentAreNumberedAndTheDocumentGoesWithTheLast) {
    Document* doc = docs->OpenDocumentFile(write("plan.png", "x"));
    ASSERT_NE(doc, nullptr);
    DocumentFrame* second = docs->OnWindowNew(*doc);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(rec(doc)->loads, 1); // a new window reads nothing
    EXPECT_EQ(doc->frames()[0]->windowTitle(), "plan.png:1");
    EXPECT_EQ(second->windowTitle(), "plan.png:2");

    ASSERT_TRUE(second->close());
    EXPECT_EQ(doc->frames().size(), 1);
    EXPECT_EQ(doc->frames()[0]->windowTitle(), "plan.png");
    EXPECT_EQ(docs->documents().size(), 1u);

    ASSERT_TRUE(doc->frames()[0]->close());
    EXPECT_TRUE(docs->documents().empty());
    EXPECT_EQ(docs->FindDocument(dir.path() + "/plan.png"), nullptr);
}

TEST_F(DocumentPlumbingTest, ARefusingFrameStopsClosingAll) {
    Document* a = docs->OpenDocumentFile(write("a.png", "a"));
    Document* b = docs->OpenDocumentFile(write("b.png", "b"));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    static_cast<RefusingFrame*>(a->frames()[0])->refuse = true;
    EXPECT_FALSE(docs->CloseAllDocuments());
    Settle();
    EXPECT_NE(docs->FindDocument(dir.path() + "/a.png"), nullptr);
    EXPECT_EQ(area.subWindowList().size(), docs->documents().size());

    static_cast<RefusingFrame*>(a->frames()[0])->refuse = false;
    EXPECT_TRUE(docs->CloseAllDocuments());
    Settle();
    EXPECT_TRUE(docs->documents().empty());
    EXPECT_TRUE(area.subWindowList().isEmpty());
}

TEST_F(DocumentPlumbingTest, SavingNeverWritesOverTheDocumentsOwnFiles) {
    const QByteArray pictureBytes("\x89PNG picture bytes", 18);
    const QString picture = write("plan.png", pictureBytes);
    Document* doc = docs->OpenDocumentFile(picture);
    ASSERT_NE(doc, nullptr);
    rec(doc)->storeBytes = "STORED";

    // Save: the path is already all the document holds.
    EXPECT_TRUE(docs->OnFileSave(*doc));
    // Save As aimed at its own file keeps the name and writes nothing.
    EXPECT_TRUE(docs->SaveDocumentAs(*doc, picture));
    EXPECT_EQ(rec(doc)->stores, 0);
    EXPECT_EQ(ReadAll(picture), pictureBytes);

    // Save As to a new name stores there and renames the document.
    const QString copy = dir.path() + "/copy.dat";
    EXPECT_TRUE(docs->SaveDocumentAs(*doc, copy));
    EXPECT_EQ(rec(doc)->stores, 1);
    EXPECT_EQ(ReadAll(copy), QByteArray("STORED"));
    EXPECT_EQ(doc->GetTitle(), "copy.dat");
    EXPECT_EQ(doc->frames()[0]->windowTitle(), "copy.dat");
    EXPECT_EQ(recent->at(0), copy);
    EXPECT_EQ(docs->FindDocument(copy), doc);
    EXPECT_EQ(docs->FindDocument(picture), nullptr);

    // The picture it was opened from stays protected under its new name too.
    EXPECT_TRUE(docs->SaveDocumentAs(*doc, picture));
    EXPECT_EQ(rec(doc)->stores, 1);
    EXPECT_EQ(ReadAll(picture), pictureBytes);
    EXPECT_EQ(doc->GetTitle(), "plan.png");
}

TEST_F(DocumentPlumbingTest, OneFileUnderAnyPathIsOneDocumentAndIsNeverWrittenOver) {
    namespace fs = std::filesystem;
    const QByteArray pictureBytes("\x89PNG picture bytes", 18);
    const QString picture = write("plan.png", pictureBytes);
    const fs::path target(QFile::encodeName(picture).toStdString());
    const fs::path folder = target.parent_path();
    fs::create_directory(folder / "sub");
    fs::create_symlink(target, folder / "link.png");
    fs::create_hard_link(target, folder / "hard.png");
    fs::create_directory_symlink(folder, folder / "linked-folder");
    const QString aliases[] = {
        dir.path() + "/link.png",
        dir.path() + "/hard.png",
        dir.path() + "/./plan.png",
        dir.path() + "/sub/../plan.png",
        dir.path() + "/linked-folder/plan.png",
    };
    Document* doc = docs->OpenDocumentFile(picture);
    ASSERT_NE(doc, nullptr);
    rec(doc)->storeBytes = "STORED";
    for (const QString& alias : aliases) {
        EXPECT_EQ(docs->OpenDocumentFile(alias), doc) << alias.toStdString();
        EXPECT_EQ(docs->FindDocument(alias), doc) << alias.toStdString();
        EXPECT_TRUE(docs->SaveDocumentAs(*doc, alias)) << alias.toStdString();
        EXPECT_EQ(ReadAll(picture), pictureBytes) << alias.toStdString();
    }
    EXPECT_EQ(docs->documents().size(), 1u);
    EXPECT_EQ(rec(doc)->loads, 1);
    EXPECT_EQ(rec(doc)->stores, 0);
}

TEST_F(DocumentPlumbingTest, AFailedSaveAsIsReportedAndKeepsTheName) {
    Document* doc = docs->OpenDocumentFile(write("plan.png", "p"));
    ASSERT_NE(doc, nullptr);
    const QString impossible = dir.path() + "/no-such-folder/copy.dat";
    EXPECT_FALSE(docs->SaveDocumentAs(*doc, impossible));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(impossible)) << messages[0].toStdString();
    EXPECT_EQ(doc->GetTitle(), "plan.png");
    EXPECT_EQ(recent->size(), 1);
}
