// The start-up folder: the directory that is current when the program starts is the folder
// against which every file of the system is found (Defaults.map in it, the map files in its
// MAPS folder). Preparing it enters MAPS when that folder already exists, and creates it
// (staying in the start-up folder) when it does not. Done once by the application before any
// window exists; user-interface thread.
#pragma once

#include <QString>

#include <string>

class AppServices;
class QWidget;

struct StartupFolder {
    std::string baseDir;
    // Whether MAPS existed and the current directory changed into it.
    bool changedIntoMaps = false;
    // Why maps cannot be stored under the start-up folder (MAPS missing, not a folder or not
    // writable), or empty when they can.
    QString storageProblem;

    // The current directory as the start-up folder (".", when it cannot be read).
    static std::string Current();
    // Enters or creates MAPS under the current directory, which is `baseDir`, and finds out
    // whether maps can be stored there.
    static StartupFolder Prepare(const std::string& baseDir);
};

// Tells the user about an unreadable Defaults.map (`defaultsProblem`) and about `storage`'s
// problem, one message each; nothing when there is none.
void ReportStartupProblems(const AppServices& services, QWidget* parent,
                           const QString& defaultsProblem, const StartupFolder& storage);
