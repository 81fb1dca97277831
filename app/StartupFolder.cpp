#include "StartupFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryFile>

#include <filesystem>
#include <system_error>

#include "AppServices.h"

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("StartupFolder", text);
}

// Why files cannot be created in `dir`, or empty when a file can be made there.
QString WriteProblem(const QString& dir) {
    QTemporaryFile probe(dir + QStringLiteral("/.zelvor-probe-XXXXXX"));
    return probe.open() ? QString() : probe.errorString();
}

QString CheckStorage(const std::string& baseDir, const QString& mkdirError) {
    const QString base = QFile::decodeName(QByteArray::fromStdString(baseDir));
    const QString maps = base + QStringLiteral("/MAPS");
    const QFileInfo info(maps);
    QStringList problems;
    if (!info.exists()) {
        problems.append(Tr("The folder \"%1\" could not be created: %2.")
                            .arg(QDir::toNativeSeparators(maps), mkdirError));
    } else if (!info.isDir()) {
        problems.append(Tr("\"%1\" is a file, not a folder.").arg(QDir::toNativeSeparators(maps)));
    } else if (const QString why = WriteProblem(maps); !why.isEmpty()) {
        problems.append(Tr("The folder \"%1\" cannot be written: %2.")
                            .arg(QDir::toNativeSeparators(maps), why));
    }
    if (problems.isEmpty()) {
        return {};
    }
    if (const QString why = WriteProblem(base); !why.isEmpty()) {
        problems.append(Tr("The default look cannot be saved in \"%1\" either: %2.")
                            .arg(QDir::toNativeSeparators(base), why));
    }
    return problems.join(QLatin1Char('\n'));
}

} // namespace

std::string StartupFolder::Current() {
    std::error_code ec;
    const std::filesystem::path startDir = std::filesystem::current_path(ec);
    return ec ? std::string(".") : startDir.string();
}

StartupFolder StartupFolder::Prepare(const std::string& baseDir) {
    StartupFolder folder;
    folder.baseDir = baseDir;
    // Into MAPS when it exists; otherwise create it and stay in the start-up directory.
    QString mkdirError;
    std::error_code ec;
    std::filesystem::current_path("MAPS", ec);
    folder.changedIntoMaps = !ec;
    if (!folder.changedIntoMaps) {
        std::error_code mkdirEc;
        std::filesystem::create_directory("MAPS", mkdirEc);
        if (mkdirEc) {
            mkdirError = QString::fromLocal8Bit(mkdirEc.message());
        }
    }
    folder.storageProblem = CheckStorage(baseDir, mkdirError);
    return folder;
}

void ReportStartupProblems(const AppServices& services, QWidget* parent,
                           const QString& defaultsProblem, const StartupFolder& storage) {
    if (!defaultsProblem.isEmpty()) {
        services.ask(parent,
                     Tr("The default look for new points cannot be read.\n\n%1\n\nZelvor "
                        "uses the factory defaults and leaves the file as it is.")
                         .arg(defaultsProblem),
                     QMessageBox::Warning, QMessageBox::Ok);
    }
    if (storage.storageProblem.isEmpty()) {
        return;
    }
    services.ask(parent,
                 Tr("Points cannot be saved in this folder.\n\n%1\n\nZelvor works, but the "
                    "points of the pictures you open here are not kept when their windows "
                    "close.")
                     .arg(storage.storageProblem),
                 QMessageBox::Warning, QMessageBox::Ok);
}
