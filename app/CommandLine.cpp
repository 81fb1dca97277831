#include "CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

#include "Resources.h"

namespace {

const QString kProgram = QStringLiteral("zelvor");

// The options QGuiApplication and QApplication take from the command line themselves: with a
// value, and without. They are parsed here only so that they are not refused, and never shown.
const char* const kQtValueOptions[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger",
    "qwindowgeometry", "geometry", "qwindowicon", "icon", "qwindowtitle", "title",
    "display", "name", "style", "stylesheet", "session"};
const char* const kQtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

QString HelpText(const QCommandLineParser& parser) {
    // Qt's own usage line would name "<executable_name>" before a QCoreApplication exists.
    QString options = parser.helpText();
    options = options.mid(options.indexOf(QStringLiteral("\nOptions:")) + 1);
    return QStringLiteral("Usage: %1 [options] [FILE...]\n"
                          "Pins annotated points onto pictures. Opens each FILE as File > Open\n"
                          "does, in order, once the main window shows. The points of a picture\n"
                          "live in MAPS/<name>.map of the start-up folder, the default look in\n"
                          "Defaults.map there.\n\n")
               .arg(kProgram) +
           options.trimmed() +
           QStringLiteral("\n\nQt's own options (-style, -platform, -display, ...) are "
                          "accepted too.\n"
                          "Exit status: 0 done, 1 the window could not be made, 2 wrong "
                          "usage.\n");
}

CommandLine Error(const QString& why) {
    CommandLine line;
    line.action = CommandLine::Action::Error;
    line.text = QStringLiteral("%1: %2\nTry '%1 --help'.\n").arg(kProgram, why);
    return line;
}

} // namespace

CommandLine ParseCommandLine(const QStringList& arguments, const QString& currentDir) {
    QCommandLineParser parser;
    // "-style fusion" is one option with its value, as QApplication reads it.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption base(
        QStringLiteral("base"),
        QStringLiteral("Use DIR as the start-up folder (MAPS and Defaults.map there) instead "
                       "of the current folder."),
        QStringLiteral("DIR"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(base);
    for (const char* name : kQtValueOptions) {
        QCommandLineOption qt(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        qt.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qt);
    }
    for (const char* name : kQtFlagOptions) {
        QCommandLineOption qt(QString::fromLatin1(name));
        qt.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qt);
    }
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("A picture to open (PNG, JPEG, BMP, GIF, ...)."),
                                 QStringLiteral("[FILE...]"));

    if (!parser.parse(arguments)) {
        return Error(parser.errorText());
    }
    CommandLine line;
    if (parser.isSet(help)) {
        line.action = CommandLine::Action::Help;
        line.text = HelpText(parser);
        return line;
    }
    if (parser.isSet(version)) {
        line.action = CommandLine::Action::Version;
        line.text = Resources::VersionText(kProgram);
        return line;
    }
    const QDir current(currentDir);
    if (parser.isSet(base)) {
        const QString dir = parser.value(base);
        const QFileInfo info(current, dir);
        if (dir.isEmpty() || !info.isDir()) {
            return Error(QStringLiteral("--base: \"%1\" is not a folder").arg(dir));
        }
        line.baseDir = QDir::cleanPath(info.absoluteFilePath());
    }
    for (const QString& file : parser.positionalArguments()) {
        if (!file.isEmpty()) {
            line.files.append(QDir::cleanPath(current.absoluteFilePath(file)));
        }
    }
    return line;
}
