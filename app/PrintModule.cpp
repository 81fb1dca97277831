#include "PrintModule.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QString>
#include <QStringList>

namespace {

// Where the module is looked for, in turn: beside the executable, where the build puts it,
// and where an installation puts it relative to the executable.
QStringList ModulePaths() {
    const QString file = QStringLiteral(ZELVOR_PRINT_MODULE_FILE);
    const QString here = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    return {here + file, QStringLiteral(ZELVOR_PRINT_MODULE_BUILD_DIR "/") + file,
            here + QStringLiteral(ZELVOR_PRINT_MODULE_INSTALLED_DIR "/") + file};
}

// The factory of the loaded module; null with `*error` set when no module could be loaded.
// The library stays loaded until the process ends.
ZelvorPrintModuleFactory Factory(QString* error) {
    static ZelvorPrintModuleFactory factory = nullptr;
    if (factory != nullptr) {
        return factory;
    }
    QString why;
    for (const QString& path : ModulePaths()) {
        QLibrary library(path);
        if (!library.load()) {
            // The first reason is the one worth telling: the later places are fallbacks.
            if (why.isEmpty()) {
                why = library.errorString();
            }
            continue;
        }
        factory = reinterpret_cast<ZelvorPrintModuleFactory>(
            library.resolve(ZELVOR_PRINT_MODULE_FACTORY));
        if (factory != nullptr) {
            return factory;
        }
        why = library.errorString();
    }
    if (error != nullptr) {
        *error = why;
    }
    return nullptr;
}

} // namespace

std::unique_ptr<PrintModule> PrintModule::Create(QString* error) {
    const ZelvorPrintModuleFactory factory = Factory(error);
    return factory != nullptr ? std::unique_ptr<PrintModule>(factory()) : nullptr;
}
