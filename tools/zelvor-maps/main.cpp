// zelvor-maps: lists, renders, imports, checks and collects due points of Zelvor's maps from the
// command line. Painting runs on the offscreen platform unless one is chosen, so no display is
// needed.
#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <memory>

#include <QtGlobal>

#include "MapsTool.h"
#include "Resources.h"
#include "TextSink.h"

namespace {

// Qt's own handler, which the quiet one passes everything else to; set once, before any message.
QtMessageHandler g_qtHandler = nullptr; // NOLINT(cppcoreguidelines-avoid-non-const-global-variables)

// Qt notes on standard error that XDG_RUNTIME_DIR is unset when the painting platform starts;
// for a command-line tool that is noise in its error output, which holds only its own reports.
void QuietRuntimeDirNote(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR"))) {
        return;
    }
    g_qtHandler(type, context, text);
}

} // namespace

int main(int argc, char** argv) {
    g_qtHandler = qInstallMessageHandler(QuietRuntimeDirNote);
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    std::unique_ptr<QCoreApplication> app;
    if (NeedsGui(arguments)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("zelvor-maps"));
    QCoreApplication::setApplicationVersion(Resources::ProductVersion());

    TextSink out(stdout);
    TextSink err(stderr);
    const int status = RunMapsTool(arguments, out, err);
    if (!out.flush()) {
        ReportError(err, "cannot write the output");
        return status == 0 ? 1 : status;
    }
    return status;
}
