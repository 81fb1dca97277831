#include "Resources.h"

#include <QFile>

#include "ResourceImage.h"

namespace Resources {
QString IconPath(int id, int size) {
    if (size != 16 && size != 32) {
        return {};
    }
    const char* name = id == IDR_MAINFRAME ? "app" : id == IDR_ZelvorTYPE ? "doc" : nullptr;
    if (name == nullptr) {
        return {};
    }
    return QStringLiteral(":/zelvor/images/%1-%2.png").arg(QLatin1String(name)).arg(size);
}

QPixmap IconPixmap(int id, int size) {
    const QString path = IconPath(id, size);
    return path.isEmpty() ? QPixmap() : LoadResourcePng(path);
}

QIcon Icon(int id) {
    QIcon icon;
    for (int size : {32, 16}) {
        const QPixmap pixmap = IconPixmap(id, size);
        if (!pixmap.isNull()) {
            icon.addPixmap(pixmap);
        }
    }
    return icon;
}

QUrl HelpPageUrl() {
    return QUrl(QStringLiteral("qrc:/zelvor/help/index.html"));
}

QString HelpPageHtml() {
    QFile file(QStringLiteral(":/zelvor/help/index.html"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

QString ProductName() {
    return String(AFX_IDS_APP_TITLE);
}

QString ProductVersion() {
    return QStringLiteral(ZELVOR_VERSION);
}

QString ApplicationId() {
    return QStringLiteral(ZELVOR_APP_ID);
}

QString VersionText(const QString& program) {
    return QStringLiteral("%1 (%2) %3\n"
                          "Copyright (c) 2026 Harrowmere\n"
                          "License MIT: <https://opensource.org/licenses/MIT>.\n"
                          "This is free software: you are free to change and redistribute it.\n"
                          "There is NO WARRANTY, to the extent permitted by law.\n")
        .arg(program, ProductName(), ProductVersion());
}
} // namespace Resources
