// The application: its identity (organisation "Harrowmere", application "Zelvor", version
// 1.2.0.0, so settings live in the platform's standard place for them), the recent-file list,
// the one document template, the main window, printing with its shared printer, and the
// application's commands (About, File New, File Open, Print Setup, the recent files, Exit)
// together with the document and view commands of the active window.
//
// Start-up does only what the first window needs; the printer, the help window and every dialog
// are made when first used.
//
// Start-up (InitInstance): settings, recent-file list, the services (the current directory
// becomes the start-up folder, Defaults.map is read from it, then MAPS is entered or created;
// see StartupFolder.h), document template, main frame, its window contents, the document
// plumbing, then the window is shown. The files given to
// setStartupFiles (the command line's, see CommandLine.h) open once it shows, after any problem
// with the start-up folder has been told. Picture files dropped onto the main window open too.
//
// Shut-down (Run's end, or the destructor): the main window's document windows close first,
// then the main frame goes, then the defaults and the recent-file list are written.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>

#include "StartupFolder.h"

class AppServices;
class CMainFrame;
class CZelvorView;
class DocTemplate;
class DocumentManager;
class PointsPanel;
class Printing;
class QSettings;
class RecentFileList;

class CZelvorApp : public QObject {
    Q_OBJECT
public:
    // Needs a QApplication, whose style it wraps in a BuiltInIconStyle (so that the first window
    // loads no image plugin). `settings` (may be null: the standard place) must outlive the app.
    explicit CZelvorApp(QSettings* settings = nullptr);
    ~CZelvorApp() override;

    // Sets the organisation, application name and version Qt and QSettings use.
    static void SetIdentity();

    // Starts the application; false when the main window could not be made.
    bool InitInstance();
    // InitInstance, the event loop until the main window closes, then shut-down. Returns the
    // process's exit code.
    int Run();

    // Application commands.
    void OnAppAbout();
    void OnFileNew();
    void OnFileOpen();
    void OnFilePrintSetup();
    // Opens recent-file entry `index` (0-based); an entry that fails to open is removed.
    bool OnOpenRecentFile(int index);
    // Opens each file as File > Open does, in order: one that cannot be opened is told once
    // and the others still open; none once the main window has closed (a request to end came
    // while a message was open). Returns how many opened.
    int OpenFiles(const QStringList& paths);
    // The files to open once the main window shows (before InitInstance).
    void setStartupFiles(const QStringList& paths) { m_startupFiles = paths; }

    // Whether pictures open on a worker (the program's windows do); set before InitInstance.
    void setOpenInBackground(bool background) { m_openInBackground = background; }
    // Tells the user, once per run, about an unreadable Defaults.map and about a start-up
    // folder where maps cannot be stored; nothing when there is neither.
    void ReportStorageProblem();

    // What InitInstance made of the start-up folder, and the services views and dialogs reach
    // (null before InitInstance).
    const StartupFolder& startupFolder() const { return m_startup; }
    AppServices* services() const { return m_services.get(); }
    CMainFrame* mainFrame() const { return m_mainFrame.get(); }
    DocumentManager* documents() const { return m_docs.get(); }
    RecentFileList& recentFiles() const { return *m_recent; }
    QSettings& settings() const { return *m_settings; }
    // Printing and the printer all printing shares (start-up asks the print system for
    // nothing: the printer is made on first use).
    Printing& printing() const;
    // The view of the active document window, or null.
    CZelvorView* activeView() const;
    // The Points panel, or null before the first picture opened.
    PointsPanel* pointsPanel() const;

private:
    void RegisterCommands();
    void RegisterViewCommands();
    // The Points panel: made when the first picture opens, attached to the active view, with
    // its command View > Points and its visibility kept in the settings (CZelvorAppPoints.cpp).
    void RegisterPointsPanel();
    void FollowActiveView();
    void FitWindowsBesidePanel();
    void RefreshRecentFiles();
    void Shutdown();

    std::unique_ptr<QSettings> m_ownSettings;
    QSettings* m_settings;
    std::unique_ptr<RecentFileList> m_recent;
    std::unique_ptr<Printing> m_printing;
    std::unique_ptr<AppServices> m_services;
    StartupFolder m_startup;
    QString m_defaultsProblem;
    bool m_storageReported = false;
    bool m_openInBackground = false;
    std::unique_ptr<DocTemplate> m_template;
    std::unique_ptr<CMainFrame> m_mainFrame;
    std::unique_ptr<DocumentManager> m_docs;
    QStringList m_startupFiles;
    QPointer<PointsPanel> m_points; // a child of the main frame
};
