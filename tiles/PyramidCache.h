// The folder pyramids are kept in, and what is kept: each pyramid is named after its picture's
// content key (PictureKey), so a renamed, moved or copied picture finds it again and a changed
// one does not. Opening a pyramid marks it used (its modification time); the folder is kept
// under its size limit by removing the least recently used pyramids first, and files left by
// builds that never finished are removed once they are old. Any thread; the file system is
// the only shared state.
#pragma once

#include <QByteArray>
#include <QString>

namespace tiles {

class PyramidCache {
public:
    // A build still running touches its file at least this often.
    static constexpr int kStalePartSeconds = 600;

    PyramidCache(QString folder, qint64 maxBytes);

    const QString& folder() const { return m_folder; }
    // Creates the folder; false when it cannot be had.
    bool prepare() const;
    QString pathFor(const QByteArray& key) const;
    // A fresh name for a build's file, unique in this process.
    QString partPathFor(const QByteArray& key) const;
    // Marks the pyramid at `path` as just used.
    static void touch(const QString& path);
    // Removes the least recently used pyramids until the rest fit in the limit with `room`
    // bytes to spare (never `keep`), and stale build files.
    void evict(qint64 room = 0, const QString& keep = QString()) const;
    // The bytes the pyramids take now.
    qint64 usedBytes() const;

private:
    QString m_folder;
    qint64 m_maxBytes;
};

// The content key of a picture file: SHA-256 of its size, its first and last 256 KiB and 16
// blocks of 16 KiB spread between, so reading it costs about 1 MB whatever the file's size.
// Empty when the file cannot be read.
namespace PictureKey {
QByteArray Compute(const QString& path);
}

} // namespace tiles
