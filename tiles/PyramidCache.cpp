#include "PyramidCache.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <vector>

#include <unistd.h>

#include "PyramidStore.h"

namespace tiles {

namespace {

const QString kSuffix = QStringLiteral(".zpyr");
const QString kPartMark = QStringLiteral(".part-");
constexpr qint64 kEndBlock = 256 * 1024;
constexpr qint64 kSampleBlock = 16 * 1024;
constexpr int kSamples = 16;

} // namespace

PyramidCache::PyramidCache(QString folder, qint64 maxBytes)
    : m_folder(std::move(folder)), m_maxBytes(maxBytes) {}

bool PyramidCache::prepare() const { return QDir().mkpath(m_folder); }

QString PyramidCache::pathFor(const QByteArray& key) const {
    return QDir(m_folder).filePath(QString::fromLatin1(key.toHex()) + kSuffix);
}

QString PyramidCache::partPathFor(const QByteArray& key) const {
    static std::atomic<int> counter{0};
    return pathFor(key) + kPartMark + QString::number(::getpid()) + QLatin1Char('-') +
           QString::number(counter.fetch_add(1));
}

void PyramidCache::touch(const QString& path) {
    QFile file(path);
    if (file.open(QIODevice::ReadWrite)) {
        file.setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime);
    }
}

qint64 PyramidCache::usedBytes() const {
    qint64 total = 0;
    const QFileInfoList files =
        QDir(m_folder).entryInfoList({QStringLiteral("*") + kSuffix}, QDir::Files);
    for (const QFileInfo& f : files) {
        total += f.size();
    }
    return total;
}

void PyramidCache::evict(qint64 room, const QString& keep) const {
    QDir dir(m_folder);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const QFileInfo& f :
         dir.entryInfoList({QStringLiteral("*") + kSuffix + kPartMark + QStringLiteral("*")},
                           QDir::Files)) {
        if (f.lastModified().secsTo(now) > kStalePartSeconds) {
            QFile::remove(f.filePath());
        }
    }
    QFileInfoList files = dir.entryInfoList({QStringLiteral("*") + kSuffix}, QDir::Files);
    std::sort(files.begin(), files.end(), [](const QFileInfo& a, const QFileInfo& b) {
        return a.lastModified() < b.lastModified();
    });
    qint64 total = 0;
    for (const QFileInfo& f : files) {
        total += f.size();
    }
    for (const QFileInfo& f : files) {
        if (total + room <= m_maxBytes) {
            break;
        }
        if (f.absoluteFilePath() != QFileInfo(keep).absoluteFilePath() &&
            QFile::remove(f.filePath())) {
            total -= f.size();
        }
    }
}

QByteArray PictureKey::Compute(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const qint64 size = file.size();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QByteArray::number(size));
    hash.addData(QByteArray::number(PyramidStore::kVersion));
    auto add = [&](qint64 at, qint64 length) {
        if (file.seek(at)) {
            hash.addData(file.read(std::min(length, size - at)));
        }
    };
    add(0, kEndBlock);
    for (int i = 1; i <= kSamples; ++i) {
        add(size / (kSamples + 1) * i, kSampleBlock);
    }
    add(std::max<qint64>(0, size - kEndBlock), kEndBlock);
    return hash.result();
}

} // namespace tiles
