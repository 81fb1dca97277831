// The zelvor-maps command line: `zelvor-maps COMMAND [options] ARGUMENTS...` with the commands
// list, render, import, due and check, each with its own --help (and an example), and
// --help and --version for the tool. Parses the arguments, runs the command and returns its
// exit status (ExitStatus.h); a wrong command line is reported on `err` with status 2 and does
// nothing. Needs a QCoreApplication, and a QGuiApplication for render.
#pragma once

#include <QStringList>

class TextSink;

int RunMapsTool(const QStringList& arguments, TextSink& out, TextSink& err);

// True when the arguments ask for a command that paints (render).
bool NeedsGui(const QStringList& arguments);
