#include "CZelvorApp.h"

#include <QApplication>
#include <QFile>
#include <QMdiArea>
#include <QSettings>
#include <QTimer>

#include <utility>

#include "ActionBuilder.h"
#include "AppServices.h"
#include "BuiltInIconStyle.h"
#include "CAboutDlg.h"
#include "CChildFrame.h"
#include "CDia_Point.h"
#include "CMainFrame.h"
#include "CZelvorDoc.h"
#include "CZelvorView.h"
#include "EditCommands.h"
#include "SelectionPane.h"
#include "DocTemplate.h"
#include "DocumentManager.h"
#include "FileDropTarget.h"
#include "MessageBox.h"
#include "Printing.h"
#include "RecentFileList.h"
#include "Resources.h"
#include "ViewPrinting.h"
#include "WindowPlacement.h"

CZelvorApp::CZelvorApp(QSettings* settings) {
    SetIdentity();
    BuiltInIconStyle::Install();
    if (settings == nullptr) {
        m_ownSettings = std::make_unique<QSettings>();
        settings = m_ownSettings.get();
    }
    m_settings = settings;
    m_recent = std::make_unique<RecentFileList>(*m_settings, kRecentFileCount);
    m_printing = std::make_unique<Printing>();
}

Printing& CZelvorApp::printing() const {
    return *m_printing;
}

CZelvorApp::~CZelvorApp() {
    Shutdown();
}

void CZelvorApp::SetIdentity() {
    QCoreApplication::setOrganizationName(QStringLiteral("Harrowmere"));
    QCoreApplication::setApplicationName(Resources::ProductName());
    QCoreApplication::setApplicationVersion(Resources::ProductVersion());
    QGuiApplication::setDesktopFileName(Resources::ApplicationId());
}

bool CZelvorApp::InitInstance() {
    m_recent->ReadList();

    // The start-up folder, its defaults and its MAPS folder, before any window exists.
    const std::string baseDir = StartupFolder::Current();
    m_services = std::make_unique<AppServices>(baseDir);
    m_services->setOpenInBackground(m_openInBackground);
    if (const FileResult loaded = m_services->LoadDefaults(); loaded.status == FileResult::Failed) {
        m_defaultsProblem = QString::fromLocal8Bit(loaded.message);
    }
    m_startup = StartupFolder::Prepare(baseDir);
    AppServices& services = *m_services;
    services.setPointDialogRunner([&services](QWidget* parent, const PointEntry& shown) {
        return CDia_Point::Run(parent, services, shown);
    });

    m_template = std::make_unique<DocTemplate>(
        Resources::String(IDR_ZelvorTYPE), [] { return std::make_unique<CZelvorDoc>(); },
        [&services](Document& doc) -> DocumentFrame* {
            auto* zelvorDoc = qobject_cast<CZelvorDoc*>(&doc);
            return zelvorDoc != nullptr ? new CChildFrame(*zelvorDoc, services) : nullptr;
        });

    m_mainFrame = std::make_unique<CMainFrame>(services);
    if (!m_mainFrame->LoadFrame()) {
        return false;
    }
    m_docs = std::make_unique<DocumentManager>(*m_mainFrame->mdiArea(), m_recent.get(), services);
    m_docs->AddDocTemplate(std::move(m_template));
    m_docs->setDialogDirectory(QFile::decodeName(QByteArray::fromStdString(baseDir)));
    m_mainFrame->setDocumentManager(m_docs.get());
    FileDropTarget::Install(*m_mainFrame, [this](const QStringList& paths) { OpenFiles(paths); });
    connect(m_docs.get(), &DocumentManager::documentsChanged, this,
            &CZelvorApp::RefreshRecentFiles);
    connect(m_docs.get(), &DocumentManager::documentTitleChanged, this,
            &CZelvorApp::RefreshRecentFiles);

    RegisterCommands();
    RegisterViewCommands();
    EditCommands::Register(m_mainFrame->commands(), [this] { return activeView(); });
    new SelectionPane(m_mainFrame->statusBar(), [this] { return activeView(); });
    RegisterPointsPanel();
    RefreshRecentFiles();

    PlaceMainWindow(*m_mainFrame);
    m_mainFrame->show();
    // Told from the event loop, so that a quit request while the message is open ends the
    // program as it would at any other time; the files given at start-up open after it.
    QTimer::singleShot(0, m_mainFrame.get(), [this] {
        ReportStorageProblem();
        OpenFiles(std::exchange(m_startupFiles, {}));
    });
    return true;
}

int CZelvorApp::Run() {
    if (!InitInstance()) {
        Shutdown();
        return 1;
    }
    QApplication::setQuitOnLastWindowClosed(false);
    connect(m_mainFrame.get(), &CMainFrame::closed, qApp, &QCoreApplication::quit,
            Qt::QueuedConnection);
    const int code = QApplication::exec();
    Shutdown();
    return code;
}

void CZelvorApp::Shutdown() {
    if (m_docs) {
        disconnect(m_docs.get(), nullptr, this, nullptr);
    }
    if (m_mainFrame) {
        disconnect(m_mainFrame->mdiArea(), nullptr, this, nullptr);
    }
    // The main frame's destructor closes what is still open; the defaults are saved after.
    m_mainFrame.reset();
    m_docs.reset();
    if (m_services) {
        m_services->SaveDefaults();
        m_services.reset();
    }
    m_recent->WriteList();
    m_settings->sync();
}

void CZelvorApp::ReportStorageProblem() {
    if (m_storageReported || !m_services) {
        return;
    }
    m_storageReported = true;
    ReportStartupProblems(*m_services, m_mainFrame.get(), m_defaultsProblem, m_startup);
}

CZelvorView* CZelvorApp::activeView() const {
    auto* frame = m_docs ? qobject_cast<CChildFrame*>(m_docs->activeFrame()) : nullptr;
    return frame != nullptr ? frame->view() : nullptr;
}

void CZelvorApp::OnAppAbout() {
    CAboutDlg about(m_mainFrame.get());
    about.exec();
}

void CZelvorApp::OnFileNew() {
    m_docs->OnFileNew();
}

void CZelvorApp::OnFileOpen() {
    m_docs->OnFileOpen();
}

void CZelvorApp::OnFilePrintSetup() {
    m_printing->printSetup(m_mainFrame.get());
}

bool CZelvorApp::OnOpenRecentFile(int index) {
    const QString path = m_recent->at(index);
    if (path.isEmpty()) {
        return false;
    }
    if (m_docs->OpenDocumentFile(path) != nullptr) {
        return true;
    }
    m_recent->Remove(path);
    RefreshRecentFiles();
    return false;
}

int CZelvorApp::OpenFiles(const QStringList& paths) {
    int opened = 0;
    for (const QString& path : paths) {
        // A request to end while a message about an earlier file was open closed the window.
        if (!m_mainFrame->isVisible()) {
            break;
        }
        if (m_docs->OpenDocumentFile(path) != nullptr) {
            ++opened;
        }
    }
    return opened;
}

void CZelvorApp::RefreshRecentFiles() {
    if (m_mainFrame) {
        m_mainFrame->commands().setRecentFiles(m_recent->displayNames());
    }
}

void CZelvorApp::RegisterCommands() {
    ActionBuilder& cmd = m_mainFrame->commands();
    cmd.setHandler(ID_APP_ABOUT, [this] { OnAppAbout(); });
    cmd.setHandler(ID_FILE_NEW, [this] { OnFileNew(); });
    cmd.setHandler(ID_FILE_OPEN, [this] { OnFileOpen(); });
    cmd.setHandler(ID_FILE_PRINT_SETUP, [this] { OnFilePrintSetup(); });
    cmd.setHandler(ID_APP_EXIT, [this] { m_mainFrame->close(); });
    for (int i = 0; i < kRecentFileCount; ++i) {
        cmd.setHandler(ID_FILE_MRU_FILE1 + i, [this, i] { OnOpenRecentFile(i); });
    }

    // The active document's commands.
    const auto withDocument = [this](CommandState& state) {
        state.enabled = m_docs->activeDocument() != nullptr;
    };
    const auto onActiveDocument = [this, &cmd, &withDocument](int id, auto action) {
        cmd.setHandler(id, [this, action] {
            if (Document* doc = m_docs->activeDocument()) {
                action(*m_docs, *doc);
            }
        });
        cmd.setUpdateHandler(id, withDocument);
    };
    onActiveDocument(ID_FILE_CLOSE,
                     [](DocumentManager& docs, Document& doc) { docs.CloseDocument(doc); });
    onActiveDocument(ID_FILE_SAVE,
                     [](DocumentManager& docs, Document& doc) { docs.OnFileSave(doc); });
    onActiveDocument(ID_FILE_SAVE_AS,
                     [](DocumentManager& docs, Document& doc) { docs.OnFileSaveAs(doc); });
    onActiveDocument(ID_WINDOW_NEW,
                     [](DocumentManager& docs, Document& doc) { docs.OnWindowNew(doc); });
}

void CZelvorApp::RegisterViewCommands() {
    ActionBuilder& cmd = m_mainFrame->commands();
    cmd.setHandler(ID_VIEW_FULLSIZE, [this] {
        if (CZelvorView* view = activeView()) {
            view->OnViewFullSize();
        }
    });
    cmd.setUpdateHandler(ID_VIEW_FULLSIZE, [this](CommandState& state) {
        const CZelvorView* view = activeView();
        state.enabled = view != nullptr;
        state.checked = view != nullptr && view->IsZoomMode();
    });
    cmd.setHandler(ID_VIEW_FITPICTURE, [this] {
        if (CZelvorView* view = activeView()) {
            view->OnViewFitPicture();
        }
    });
    cmd.setUpdateHandler(ID_VIEW_FITPICTURE, [this](CommandState& state) {
        const CZelvorView* view = activeView();
        state.enabled = view != nullptr;
        state.checked = view != nullptr && view->IsFitPicture();
    });
    cmd.setHandler(ID_VIEW_SHOWTEXTS, [this] {
        if (CZelvorView* view = activeView()) {
            view->OnViewShowTexts();
        }
    });
    cmd.setUpdateHandler(ID_VIEW_SHOWTEXTS, [this](CommandState& state) {
        const CZelvorView* view = activeView();
        state.enabled = view != nullptr;
        state.checked = view != nullptr && view->IsShowTexts();
    });
    const auto inZoomMode = [this](CommandState& state) {
        const CZelvorView* view = activeView();
        state.enabled = view != nullptr && view->IsZoomMode();
    };
    cmd.setHandler(ID_VIEW_ZOOMPLUS, [this] {
        if (CZelvorView* view = activeView()) {
            view->OnViewZoomPlus();
        }
    });
    cmd.setUpdateHandler(ID_VIEW_ZOOMPLUS, inZoomMode);
    cmd.setHandler(ID_VIEW_ZOOMMINUS, [this] {
        if (CZelvorView* view = activeView()) {
            view->OnViewZoomMinus();
        }
    });
    cmd.setUpdateHandler(ID_VIEW_ZOOMMINUS, inZoomMode);

    const auto withView = [this](CommandState& state) {
        state.enabled = activeView() != nullptr;
    };
    // A print command works on the active view; without one it does nothing.
    const auto printCommand = [this](auto run) {
        return [this, run] {
            if (CZelvorView* view = activeView()) {
                run(*m_printing, *view);
            }
        };
    };
    cmd.setHandler(ID_FILE_PRINT, printCommand([this](Printing& print, CZelvorView& view) {
                       ViewPrinting::Print(print, view, m_mainFrame.get());
                   }));
    cmd.setUpdateHandler(ID_FILE_PRINT, withView);
    cmd.setHandler(ID_FILE_PRINT_DIRECT, printCommand(&ViewPrinting::PrintDirect));
    cmd.setUpdateHandler(ID_FILE_PRINT_DIRECT, withView);
    cmd.setHandler(ID_FILE_PRINT_PREVIEW,
                   printCommand([this](Printing& print, CZelvorView& view) {
                       ViewPrinting::Preview(print, view, m_mainFrame.get());
                   }));
    cmd.setUpdateHandler(ID_FILE_PRINT_PREVIEW, withView);
}
