#include "ToolTestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>

#include "CsvReader.h"
#include "MapFiles.h"

void ToolTest::SetUp() {
    ASSERT_TRUE(m_dir.isValid());
    ASSERT_TRUE(QDir(base()).mkdir(QStringLiteral("MAPS")));
}

std::string ToolTest::map(const std::string& stem) const {
    return base().toStdString() + "/MAPS/" + stem + ".map";
}

namespace {

ToolRun Finish(QProcess& process, const QStringList& arguments) {
    ToolRun result;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "zelvor-maps did not finish: " << arguments.join(' ').toStdString();
        return result;
    }
    result.status = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

} // namespace

ToolRun ToolTest::run(const QStringList& arguments) const {
    QProcess process;
    process.setWorkingDirectory(base());
    process.start(QStringLiteral(ZELVOR_MAPS_EXE), arguments);
    return Finish(process, arguments);
}

ToolRun ToolTest::runShell(const QString& script) const {
    QProcess process;
    process.setWorkingDirectory(base());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TOOL"), QStringLiteral(ZELVOR_MAPS_EXE));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script});
    return Finish(process, {script});
}

void ToolTest::write(const QString& name, const QByteArray& bytes) const {
    QFile file(base() + QLatin1Char('/') + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray ToolTest::read(const QString& name) const {
    QFile file(base() + QLatin1Char('/') + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void ToolTest::saveMap(const std::string& stem, const PointList& list) const {
    ASSERT_TRUE(SaveMapFile(map(stem), list).ok());
}

QMap<QString, QByteArray> ToolTest::snapshot() const {
    QMap<QString, QByteArray> files;
    QDirIterator it(base(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        files.insert(path, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("?"));
    }
    return files;
}

std::vector<QMap<QString, QString>> CsvRows(const QByteArray& csv) {
    const QString text = QString::fromUtf8(csv);
    CsvReader reader(text);
    QStringList header;
    QStringList fields;
    QString error;
    int line = 0;
    std::vector<QMap<QString, QString>> rows;
    if (!reader.next(header, line, error)) {
        ADD_FAILURE() << "no CSV header";
        return rows;
    }
    while (reader.next(fields, line, error)) {
        EXPECT_EQ(fields.size(), header.size()) << "line " << line;
        QMap<QString, QString> row;
        for (qsizetype i = 0; i < header.size() && i < fields.size(); ++i) {
            row.insert(header[i], fields[i]);
        }
        rows.push_back(row);
    }
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    return rows;
}
