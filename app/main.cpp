// Zelvor: pins annotated points onto pictures.
#include <QApplication>
#include <QDir>
#include <QFile>

#include <clocale>
#include <cstdio>

#include "AppServices.h"
#include "BackgroundPriority.h"
#include "CMainFrame.h"
#include "CZelvorApp.h"
#include "CommandLine.h"
#include "FontSystemWarmUp.h"
#include "QuitRequest.h"
#include "TerminationSignals.h"

namespace {
// Writes `text` to `stream`; false when it could not be written (a full disk, a closed pipe).
bool Print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    return std::fwrite(bytes.constData(), 1, bytes.size(), stream) == std::size_t(bytes.size()) &&
           std::fflush(stream) == 0;
}
} // namespace

int main(int argc, char** argv) {
    // The command line is answered before anything of the window system starts, so that
    // --help, --version and a wrong option need no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QFile::decodeName(argv[i]));
    }
    const CommandLine line = ParseCommandLine(arguments, QDir::currentPath());
    switch (line.action) {
    case CommandLine::Action::Help:
    case CommandLine::Action::Version:
        return Print(stdout, line.text) ? 0 : 1;
    case CommandLine::Action::Error:
        Print(stderr, line.text);
        return CommandLine::kUsageExit;
    case CommandLine::Action::Run:
        break;
    }
    // --base DIR is the start-up folder: the application takes the current directory as it.
    if (!line.baseDir.isEmpty() && !QDir::setCurrent(line.baseDir)) {
        Print(stderr, QStringLiteral("zelvor: cannot change into \"%1\"\n").arg(line.baseDir));
        return 1;
    }

    FontSystemWarmUp::Start();
    QApplication qtApp(argc, argv);
    // QApplication takes the user's locale for the C library too; every number the program
    // writes uses "." whatever the locale, so the C library's number formats stay those of "C".
    std::setlocale(LC_NUMERIC, "C");
    FontSystemWarmUp::ApplicationReady();
    CZelvorApp app;
    // Pictures open on a worker: a window shows at once and answers while a large one decodes.
    app.setOpenInBackground(true);
    // Big pictures' pyramids are built in idle time, so the window answers at once throughout.
    tiles::SetBuildPriority(tiles::BuildPriority::Idle);
    app.setStartupFiles(line.files);
    // A polite request to end (logout, kill, Ctrl+C) ends any open dialog as if cancelled, then
    // closes the main window as File > Exit does.
    QuitRequest quit([&app] {
        if (CMainFrame* frame = app.mainFrame()) {
            frame->close();
        } else {
            QApplication::quit();
        }
    });
    TerminationSignals terminationSignals([&app, &quit] {
        if (AppServices* services = app.services()) {
            services->setQuitRequested(); // from here on no close asks a question
        }
        quit.request();
    });
    return app.Run();
}
