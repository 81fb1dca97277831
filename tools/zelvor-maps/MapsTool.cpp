#include "MapsTool.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <cmath>
#include <functional>
#include <vector>

#include "Clock.h"
#include "DateTimeText.h"
#include "ExitStatus.h"
#include "ImportCommand.h"
#include "ListCommands.h"
#include "RenderCommand.h"
#include "Resources.h"
#include "SinceTime.h"
#include "TextSink.h"
#include "ToolFiles.h"

namespace {

const QString kTool = QStringLiteral("zelvor-maps");
// The width the tool's help gives the command names: the longest and a space.
constexpr int kNameColumn = 7;

// A usage error: the reason and where to look, status 2.
int UsageError(TextSink& err, const QString& command, const QString& why) {
    ReportError(err, why.toStdString());
    err.write(QStringLiteral("Try '%1 %2--help'.\n")
                  .arg(kTool, command.isEmpty() ? QString() : command + QLatin1Char(' ')));
    err.flush();
    return kExitUsage;
}

// One command's parser: its own options plus --base and --help.
struct Command {
    QString name;
    QString synopsis; // what follows "[options]" in the usage line
    QString summary;
    QString example;
    std::function<void(QCommandLineParser&)> addOptions;
    // Runs with the parsed line; returns the status or, for a bad value, a usage error.
    std::function<int(QCommandLineParser&, const QString& base, TextSink&, TextSink&)> run;
};

QCommandLineOption BaseOption() {
    return {QStringLiteral("base"),
            QStringLiteral("The folder holding MAPS and Defaults.map (default: the current "
                           "folder)."),
            QStringLiteral("DIR"), QStringLiteral(".")};
}

QCommandLineOption FormatOption() {
    return {QStringLiteral("format"), QStringLiteral("Output form: table, csv or json."),
            QStringLiteral("FORMAT"), QStringLiteral("table")};
}

// The --format option into `format`; the reason when it names no form, empty when it does.
QString ReadFormat(const QCommandLineParser& p, OutputFormat& format) {
    const QString text = p.value(QStringLiteral("format"));
    if (text == QLatin1String("table")) {
        format = OutputFormat::Table;
    } else if (text == QLatin1String("csv")) {
        format = OutputFormat::Csv;
    } else if (text == QLatin1String("json")) {
        format = OutputFormat::Json;
    } else {
        return QStringLiteral("unknown format: ") + text;
    }
    return {};
}

// A time option ("YYYY-MM-DD HH:MM") as seconds since 1970, by the same conversion the points'
// since dates go through; the current time when the option is absent.
bool ParseMoment(QCommandLineParser& parser, const QString& option, std::int64_t& moment) {
    if (!parser.isSet(option)) {
        moment = Clock::Now();
        return true;
    }
    SYSTEMTIME st{};
    if (!ParseDateTime(parser.value(option).toStdString(), st)) {
        return false;
    }
    moment = SinceInstant(st);
    return true;
}

Command MakeListCommand() {
    return {QStringLiteral("list"),
            QStringLiteral("PICTURE-OR-MAP..."),
            QStringLiteral("Lists every point of the maps of the given pictures (or of the given "
                           ".map files): index, position, label, memo, since date, since text and "
                           "look. CSV and JSON carry every column; the table the main ones."),
            QStringLiteral("zelvor-maps list --format csv plan.png > plan-points.csv"),
            [](QCommandLineParser& p) { p.addOption(FormatOption()); },
            [](QCommandLineParser& p, const QString& base, TextSink& out, TextSink& err) {
                ListOptions o;
                o.baseDir = base;
                o.inputs = p.positionalArguments();
                if (const QString wrong = ReadFormat(p, o.format); !wrong.isEmpty()) {
                    return UsageError(err, QStringLiteral("list"), wrong);
                }
                if (o.inputs.isEmpty()) {
                    return UsageError(err, QStringLiteral("list"),
                                      QStringLiteral("name at least one picture or map"));
                }
                return RunList(o, out, err);
            }};
}

// The size options of the render command (--width or --zoom) into `o`; the reason when they
// are wrong, empty when they are right.
QString ReadRenderSize(const QCommandLineParser& p, RenderOptions& o) {
    if (p.isSet(QStringLiteral("width")) && p.isSet(QStringLiteral("zoom"))) {
        return QStringLiteral("give --width or --zoom, not both");
    }
    bool ok = true;
    if (p.isSet(QStringLiteral("width"))) {
        o.width = p.value(QStringLiteral("width")).toInt(&ok);
        if (!ok || o.width < 1) {
            return QStringLiteral("--width needs a whole number of pixels above 0");
        }
    }
    if (p.isSet(QStringLiteral("zoom"))) {
        o.zoom = p.value(QStringLiteral("zoom")).toDouble(&ok);
        if (!ok || !(o.zoom > 0) || !std::isfinite(o.zoom)) {
            return QStringLiteral("--zoom needs a number above 0");
        }
    }
    return {};
}

// The form the render command writes (--type, or OUT's extension) into `o`; the reason when
// it cannot be told, empty when it can.
QString ReadOutputKind(const QCommandLineParser& p, RenderOptions& o) {
    if (p.isSet(QStringLiteral("type"))) {
        if (!OutputKindNamed(p.value(QStringLiteral("type")), o.kind)) {
            return QStringLiteral("--type must be png, jpeg or pdf");
        }
    } else if (IsStandardStream(o.output)) {
        return QStringLiteral("OUT - (standard output) needs --type");
    } else if (!OutputKindOf(o.output, o.kind)) {
        return QStringLiteral("OUT must end in .png, .jpg, .jpeg or .pdf, or --type be given");
    }
    return {};
}

int RunRenderLine(QCommandLineParser& p, const QString& base, TextSink& out, TextSink& err) {
    const QString cmd = QStringLiteral("render");
    const QStringList args = p.positionalArguments();
    if (args.size() != 2) {
        return UsageError(err, cmd, QStringLiteral("name one picture and one output"));
    }
    RenderOptions o;
    o.baseDir = base;
    o.picture = args[0];
    o.output = args[1];
    o.points = !p.isSet(QStringLiteral("no-points"));
    if (const QString wrong = ReadRenderSize(p, o); !wrong.isEmpty()) {
        return UsageError(err, cmd, wrong);
    }
    if (!ParseMoment(p, QStringLiteral("at"), o.now)) {
        return UsageError(err, cmd, QStringLiteral("--at needs a time as \"YYYY-MM-DD HH:MM\""));
    }
    const QFileInfo in(o.picture);
    if (!IsStandardStream(o.output) && in.exists() &&
        in.canonicalFilePath() == QFileInfo(o.output).canonicalFilePath()) {
        return UsageError(err, cmd, QStringLiteral("OUT would replace the picture"));
    }
    if (const QString wrong = ReadOutputKind(p, o); !wrong.isEmpty()) {
        return UsageError(err, cmd, wrong);
    }
    return RunRender(o, out, err);
}

Command MakeRenderCommand() {
    return {QStringLiteral("render"),
            QStringLiteral("PICTURE OUT"),
            QStringLiteral("Writes the picture with its points as the viewer paints them, to PNG, "
                           "JPEG or a one-page PDF (chosen by OUT's extension, or by --type). "
                           "OUT - is standard output (--type is then needed). Full size unless "
                           "--width (fitted to that width) or --zoom is given. An existing OUT "
                           "is replaced only by a complete file, and only if it is a regular "
                           "file."),
            QStringLiteral("zelvor-maps render --width 1600 --at \"2026-12-24 09:00\" plan.png "
                           "plan-today.png"),
            [](QCommandLineParser& p) {
                p.addOption({QStringLiteral("width"),
                             QStringLiteral("Draw the picture fitted to this width."),
                             QStringLiteral("W")});
                p.addOption({QStringLiteral("zoom"),
                             QStringLiteral("Draw the picture at this zoom (1 is full size)."),
                             QStringLiteral("Z")});
                p.addOption({QStringLiteral("no-points"), QStringLiteral("Leave the points out.")});
                p.addOption({QStringLiteral("type"),
                             QStringLiteral("Write this form whatever OUT's name: png, jpeg or "
                                            "pdf."),
                             QStringLiteral("TYPE")});
                p.addOption({QStringLiteral("at"),
                             QStringLiteral("Draw as at this local time (default: now)."),
                             QStringLiteral("YYYY-MM-DD HH:MM")});
            },
            RunRenderLine};
}

Command MakeImportCommand() {
    return {QStringLiteral("import"),
            QStringLiteral("PICTURE FILE.csv"),
            QStringLiteral("Adds points from a CSV file (- for standard input) to the picture's "
                           "map, with the look of Defaults.map. Columns x, y, label, memo, since "
                           "(a date-time, optional); a first row naming x, y and the others (and "
                           "optionally since_text) may give them in any order. Texts may hold at "
                           "most 64 KB. Any bad row, or a picture that does not exist, changes "
                           "nothing."),
            QStringLiteral("zelvor-maps import plan.png positions.csv"),
            [](QCommandLineParser& p) {
                p.addOption({QStringLiteral("replace"),
                             QStringLiteral("Replace all points instead of adding (refused for a "
                                            "file without points unless --allow-empty).")});
                p.addOption({QStringLiteral("allow-empty"),
                             QStringLiteral("With --replace, let a file without points remove "
                                            "every point.")});
            },
            [](QCommandLineParser& p, const QString& base, TextSink& out, TextSink& err) {
                const QStringList args = p.positionalArguments();
                if (args.size() != 2) {
                    return UsageError(err, QStringLiteral("import"),
                                      QStringLiteral("name one picture and one CSV file"));
                }
                ImportOptions o;
                o.baseDir = base;
                o.picture = args[0];
                o.csvFile = args[1];
                o.replace = p.isSet(QStringLiteral("replace"));
                o.allowEmpty = p.isSet(QStringLiteral("allow-empty"));
                return RunImport(o, out, err);
            }};
}

Command MakeDueCommand() {
    return {QStringLiteral("due"),
            QString(),
            QStringLiteral("Lists the points of every map under MAPS whose since date has passed "
                           "(or passes before --before), oldest first. A local time that a "
                           "daylight-saving change skips or repeats means the first moment the "
                           "clock shows it or a later time."),
            QStringLiteral("zelvor-maps due --base ~/plans --before \"2026-12-31 18:00\""),
            [](QCommandLineParser& p) {
                p.addOption(FormatOption());
                p.addOption({QStringLiteral("before"),
                             QStringLiteral("Due before this local time (default: now)."),
                             QStringLiteral("YYYY-MM-DD HH:MM")});
            },
            [](QCommandLineParser& p, const QString& base, TextSink& out, TextSink& err) {
                const QString cmd = QStringLiteral("due");
                DueOptions o;
                o.baseDir = base;
                if (!p.positionalArguments().isEmpty()) {
                    return UsageError(err, cmd, QStringLiteral("due takes no arguments"));
                }
                if (const QString wrong = ReadFormat(p, o.format); !wrong.isEmpty()) {
                    return UsageError(err, cmd, wrong);
                }
                if (!ParseMoment(p, QStringLiteral("before"), o.before)) {
                    return UsageError(
                        err, cmd, QStringLiteral("--before needs a time as \"YYYY-MM-DD HH:MM\""));
                }
                return RunDue(o, out, err);
            }};
}

Command MakeCheckCommand() {
    return {QStringLiteral("check"),
            QStringLiteral("[MAP...]"),
            QStringLiteral("Reads each map (or Defaults.map) file as the viewer does and prints OK "
                           "or why it cannot be read. Without files: every map under MAPS and "
                           "Defaults.map. Exit status 0 only when all are readable."),
            QStringLiteral("zelvor-maps check MAPS/*.map Defaults.map"),
            [](QCommandLineParser&) {},
            [](QCommandLineParser& p, const QString& base, TextSink& out, TextSink& err) {
                CheckOptions o;
                o.baseDir = base;
                o.files = p.positionalArguments();
                return RunCheck(o, out, err);
            }};
}

std::vector<Command> Commands() {
    return {MakeListCommand(), MakeRenderCommand(), MakeImportCommand(), MakeDueCommand(),
            MakeCheckCommand()};
}

QString ToolHelp(const std::vector<Command>& commands) {
    QString text = QStringLiteral("Usage: %1 COMMAND [options] ARGUMENTS...\n"
                                  "The points of Zelvor's maps outside the window.\n\n"
                                  "Commands:\n")
                       .arg(kTool);
    for (const Command& c : commands) {
        text += QStringLiteral("  %1  %2\n").arg(c.name.leftJustified(kNameColumn), c.example);
    }
    text += QStringLiteral("\n'%1 COMMAND --help' describes a command.\n"
                           "Options: --help, --version.\n"
                           "Exit status: 0 done, 1 some input failed, 2 wrong usage.\n")
                .arg(kTool);
    return text;
}

QString CommandHelp(const Command& c, const QCommandLineParser& parser) {
    // Qt's usage line names the options after the program; ours puts the command first.
    QString options = parser.helpText();
    options = options.mid(options.indexOf(QLatin1Char('\n')) + 1);
    return QStringLiteral("Usage: %1 %2 [options] %3\n%4\n\nExample:\n  %5\n")
               .arg(kTool, c.name, c.synopsis, c.summary, c.example) +
           options.trimmed().prepend(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace

bool NeedsGui(const QStringList& arguments) {
    return arguments.size() > 1 && arguments[1] == QLatin1String("render");
}

int RunMapsTool(const QStringList& arguments, TextSink& out, TextSink& err) {
    const std::vector<Command> commands = Commands();
    const QString first = arguments.value(1);
    if (first.isEmpty() || first.startsWith(QLatin1Char('-'))) {
        if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
            out.write(ToolHelp(commands));
            return kExitOk;
        }
        if (first == QLatin1String("--version") || first == QLatin1String("-v")) {
            out.write(Resources::VersionText(kTool));
            return kExitOk;
        }
        err.write(ToolHelp(commands));
        return UsageError(err, {},
                          first.isEmpty() ? QStringLiteral("name a command")
                                          : QStringLiteral("unknown option: ") + first);
    }
    for (const Command& c : commands) {
        if (c.name != first) {
            continue;
        }
        QCommandLineParser parser;
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                      QStringLiteral("Describe this command."));
        parser.addOption(help);
        parser.addOption(BaseOption());
        c.addOptions(parser);
        if (!parser.parse(QStringList{kTool} + arguments.mid(2))) {
            return UsageError(err, c.name, parser.errorText());
        }
        if (parser.isSet(help)) {
            out.write(CommandHelp(c, parser));
            return kExitOk;
        }
        const QString base = parser.value(QStringLiteral("base"));
        if (base.isEmpty()) {
            return UsageError(err, c.name, QStringLiteral("--base needs a folder"));
        }
        return c.run(parser, base, out, err);
    }
    return UsageError(err, {}, QStringLiteral("unknown command: ") + first);
}
