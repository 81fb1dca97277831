// The viewer's command line: `zelvor [--base DIR] [FILE...]`, `--help` and `--version`.
//
// It is read before any QApplication exists, so that --help, --version and a wrong command line
// are answered without a window or a display. Qt's own options (-platform, -style, -display,
// -geometry, ... with one dash or two) are accepted and left for QApplication, which reads them
// from the same arguments afterwards. `--` ends the options: what follows is a FILE even when it
// starts with a dash.
//
// FILE and --base DIR are made absolute against `currentDir` here, while that is still the
// folder the user started in: start-up later changes the current directory (into DIR, then
// into MAPS). DIR must be an existing folder; a FILE is not checked here (opening it reports
// what is wrong, as File > Open does).
#pragma once

#include <QString>
#include <QStringList>

struct CommandLine {
    enum class Action {
        Run,     // start the viewer
        Help,    // print `text` to standard output, exit 0
        Version, // print `text` to standard output, exit 0
        Error,   // print `text` to standard error, exit kUsageExit
    };
    static constexpr int kUsageExit = 2;

    Action action = Action::Run;
    QString text;      // the help or version text, or the error (with a hint to --help)
    QString baseDir;   // absolute; empty: the current folder, as without the option
    QStringList files; // absolute, in the order given
};

// `arguments` is the whole argument vector, the program's name first.
CommandLine ParseCommandLine(const QStringList& arguments, const QString& currentDir);
