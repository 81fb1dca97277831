// What a document reads from or stores to: the opened file and the direction. The document
// plumbing creates it around the file it opened; documents only look at it in Serialize.
#pragma once

#include <QFileDevice>
#include <QFileInfo>
#include <QString>

class DocumentArchive {
public:
    enum class Mode { Load, Store };

    DocumentArchive(QFileDevice& file, Mode mode) : m_file(file), m_mode(mode) {}

    bool IsLoading() const { return m_mode == Mode::Load; }
    bool IsStoring() const { return m_mode == Mode::Store; }
    // The path under which the plumbing opened the file (absolute) and its last component.
    QString GetFilePath() const { return m_file.fileName(); }
    QString GetFileName() const { return QFileInfo(m_file.fileName()).fileName(); }
    QFileDevice& file() { return m_file; }

private:
    QFileDevice& m_file;
    Mode m_mode;
};
