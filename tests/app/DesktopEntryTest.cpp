// The installed desktop entry agrees with the program: it is named after the id the program
// gives the window system, shows the icon of that name, passes files, and claims only picture
// types the Qt it runs on can read (with qt6-image-formats-plugins, which the package recommends
// and scripts/deps.sh installs).
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QSettings>

#include <gtest/gtest.h>

#include "CZelvorApp.h"
#include "Resources.h"

TEST(DesktopEntry, AgreesWithTheProgramAndClaimsOnlyReadableTypes) {
    const QString path = QStringLiteral(ZELVOR_DESKTOP_ENTRY);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QMap<QString, QString> keys;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const int eq = line.indexOf('=');
        if (eq > 0) {
            keys.insert(QString::fromUtf8(line.left(eq)), QString::fromUtf8(line.mid(eq + 1)));
        }
    }
    CZelvorApp::SetIdentity();
    EXPECT_EQ(QFileInfo(path).fileName(), QGuiApplication::desktopFileName() + ".desktop");
    EXPECT_EQ(keys.value("Icon"), Resources::ApplicationId());
    EXPECT_EQ(keys.value("Exec"), "zelvor %F");

    const QStringList types = keys.value("MimeType").split(';', Qt::SkipEmptyParts);
    EXPECT_GE(types.size(), 4);
    const QList<QByteArray> readable = QImageReader::supportedMimeTypes();
    for (const QString& type : types) {
        EXPECT_TRUE(readable.contains(type.toLatin1())) << type.toStdString();
    }
}
