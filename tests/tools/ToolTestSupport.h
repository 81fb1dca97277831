// Shared set-up for the zelvor-maps tests: a temporary base folder with MAPS, the real
// executable run in it, and snapshots of every file to show that a run changed nothing.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

#include "PointList.h"

struct ToolRun {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

class ToolTest : public ::testing::Test {
protected:
    void SetUp() override;

    QString base() const { return m_dir.path(); }
    std::string map(const std::string& stem) const;
    // Runs zelvor-maps with `arguments` in the base folder.
    ToolRun run(const QStringList& arguments) const;
    // Runs `script` with /bin/sh in the base folder, the executable's path in $TOOL.
    ToolRun runShell(const QString& script) const;
    void write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;
    void saveMap(const std::string& stem, const PointList& list) const;
    // Every file under the base folder with its bytes.
    QMap<QString, QByteArray> snapshot() const;

private:
    QTemporaryDir m_dir;
};

// The rows of CSV output as maps from column name to field.
std::vector<QMap<QString, QString>> CsvRows(const QByteArray& csv);
