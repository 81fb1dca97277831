#include "PyramidStore.h"

#include <QFile>
#include <QtEndian>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "TileCodec.h"
#include "TileImage.h"

namespace tiles {

namespace {

constexpr qint64 kHeaderBytes = 64;
constexpr qint64 kFooterBytes = 32;
constexpr qint64 kEntryBytes = 16;
// An index entry: the tile's offset (8 bytes), its length and its CRC-32 (4 bytes each).
constexpr int kEntryLengthAt = 8;
constexpr int kEntryCrcAt = 12;
constexpr char kMagic[9] = "ZPYRAMID";
constexpr char kEndMagic[9] = "ZPYREND1";
constexpr quint32 kAlphaFlag = 1;
constexpr quint32 kPartialFlag = 2;
// Offsets inside the header and the footer.
constexpr int kVersionAt = 8;
constexpr int kFlagsAt = 12;
constexpr int kWidthAt = 16;
constexpr int kHeightAt = 20;
constexpr int kFirstLevelAt = 24;
constexpr int kLevelCountAt = 28;
constexpr int kKeyAt = 32;
constexpr int kTileCountAt = 8;
constexpr int kIndexCrcAt = 16;
constexpr int kHeaderCrcAt = 20;
constexpr int kEndMagicAt = 24;

quint32 Crc(const char* data, qint64 size) {
    return quint32(crc32(0L, reinterpret_cast<const Bytef*>(data), uInt(size)));
}

quint32 U32(const QByteArray& b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }
quint64 U64(const QByteArray& b, int at) { return qFromLittleEndian<quint64>(b.constData() + at); }
void Put32(QByteArray& b, int at, quint32 v) { qToLittleEndian(v, b.data() + at); }
void Put64(QByteArray& b, int at, quint64 v) { qToLittleEndian(v, b.data() + at); }

// Moves `size` bytes between `data` and the file at `offset` with `io` (pread or pwrite),
// call after call until all have gone; false when a call fails or moves nothing.
template <typename Io, typename Bytes>
bool WholeAt(Io io, int fd, Bytes* data, qint64 size, qint64 offset) {
    while (size > 0) {
        const ssize_t n = io(fd, data, size_t(size), off_t(offset));
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= n;
        offset += n;
    }
    return true;
}

bool ReadAt(int fd, char* data, qint64 size, qint64 offset) {
    return WholeAt(::pread, fd, data, size, offset);
}

bool WriteAt(int fd, const char* data, qint64 size, qint64 offset) {
    return WholeAt(::pwrite, fd, data, size, offset);
}

std::shared_ptr<PyramidStore> Refuse(QString* whyNot, const char* why) {
    if (whyNot != nullptr) {
        *whyNot = QString::fromLatin1(why);
    }
    return {};
}

} // namespace

void PyramidStore::layOut() {
    m_levelStart.clear();
    int total = 0;
    for (int k = m_firstLevel; k < m_levelCount; ++k) {
        m_levelStart.push_back(total);
        const QSize level = TileSource::LevelSize(m_size, k);
        total += ((level.width() + kTileSize - 1) / kTileSize) *
                 ((level.height() + kTileSize - 1) / kTileSize);
    }
    m_levelStart.push_back(total);
    m_entries.assign(size_t(total), Entry{});
    m_written.assign(size_t(total), false);
    m_done.assign(size_t(m_levelCount), false);
}

int PyramidStore::slot(const TileId& id) const {
    if (id.level < m_firstLevel || id.level >= m_levelCount ||
        TileSource::TileRect(m_size, id).isEmpty()) {
        return -1;
    }
    const QSize level = TileSource::LevelSize(m_size, id.level);
    const int columns = (level.width() + kTileSize - 1) / kTileSize;
    return m_levelStart[size_t(id.level - m_firstLevel)] + id.row * columns + id.column;
}

QByteArray PyramidStore::header() const {
    QByteArray h(kHeaderBytes, '\0');
    std::memcpy(h.data(), kMagic, 8);
    Put32(h, kVersionAt, kVersion);
    Put32(h, kFlagsAt, (m_alpha ? kAlphaFlag : 0) | (m_partial ? kPartialFlag : 0));
    Put32(h, kWidthAt, quint32(m_size.width()));
    Put32(h, kHeightAt, quint32(m_size.height()));
    Put32(h, kFirstLevelAt, quint32(m_firstLevel));
    Put32(h, kLevelCountAt, quint32(m_levelCount));
    std::memcpy(h.data() + kKeyAt, m_key.constData(), kKeyBytes);
    return h;
}

std::shared_ptr<PyramidStore> PyramidStore::Open(const QString& path, const QByteArray& key,
                                                 QSize size, QString* whyNot) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return Refuse(whyNot, "no pyramid");
    }
    std::shared_ptr<PyramidStore> store(new PyramidStore);
    store->m_fd = fd;
    store->m_path = path;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || info.st_size < kHeaderBytes + kFooterBytes) {
        return Refuse(whyNot, "too short");
    }
    const qint64 fileSize = info.st_size;
    QByteArray head(kHeaderBytes, '\0');
    QByteArray foot(kFooterBytes, '\0');
    if (!ReadAt(fd, head.data(), kHeaderBytes, 0) ||
        !ReadAt(fd, foot.data(), kFooterBytes, fileSize - kFooterBytes) ||
        std::memcmp(head.constData(), kMagic, 8) != 0 ||
        std::memcmp(foot.constData() + kEndMagicAt, kEndMagic, 8) != 0 ||
        U32(foot, kHeaderCrcAt) != Crc(head.constData(), kHeaderBytes)) {
        return Refuse(whyNot, "damaged header or footer");
    }
    const quint32 flags = U32(head, kFlagsAt);
    store->m_size = QSize(int(U32(head, kWidthAt)), int(U32(head, kHeightAt)));
    store->m_firstLevel = int(U32(head, kFirstLevelAt));
    store->m_levelCount = int(U32(head, kLevelCountAt));
    store->m_alpha = (flags & kAlphaFlag) != 0;
    store->m_partial = (flags & kPartialFlag) != 0;
    store->m_key = head.mid(kKeyAt, kKeyBytes);
    if (U32(head, kVersionAt) != kVersion || store->m_key != key || store->m_size != size ||
        store->m_levelCount != TileSource::LevelCount(size) || store->m_firstLevel < 0 ||
        store->m_firstLevel >= store->m_levelCount) {
        return Refuse(whyNot, "another picture or version");
    }
    store->layOut();
    const quint64 indexAt = U64(foot, 0);
    const quint64 count = U64(foot, kTileCountAt);
    if (count != store->m_entries.size() ||
        indexAt + count * kEntryBytes + kFooterBytes != quint64(fileSize)) {
        return Refuse(whyNot, "wrong index size");
    }
    QByteArray index(qsizetype(count * kEntryBytes), '\0');
    if (!ReadAt(fd, index.data(), index.size(), qint64(indexAt)) ||
        Crc(index.constData(), index.size()) != U32(foot, kIndexCrcAt)) {
        return Refuse(whyNot, "damaged index");
    }
    for (size_t i = 0; i < count; ++i) {
        Entry& e = store->m_entries[i];
        const int at = int(i * kEntryBytes);
        e.offset = U64(index, at);
        e.length = U32(index, at + kEntryLengthAt);
        e.crc = U32(index, at + kEntryCrcAt);
        if (e.length > 0 && (e.offset < quint64(kHeaderBytes) || e.length > kMaxTileBytes ||
                             e.offset + e.length > indexAt)) {
            return Refuse(whyNot, "a tile outside the file");
        }
    }
    store->m_written.assign(store->m_entries.size(), true);
    store->m_done.assign(size_t(store->m_levelCount), true);
    return store;
}

std::shared_ptr<PyramidStore> PyramidStore::Create(const QString& partPath, const QByteArray& key,
                                                   QSize size, int firstLevel, bool alpha) {
    const int fd = ::open(QFile::encodeName(partPath).constData(),
                          O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0 || key.size() != kKeyBytes) {
        if (fd >= 0) {
            ::close(fd);
        }
        return {};
    }
    std::shared_ptr<PyramidStore> store(new PyramidStore);
    store->m_fd = fd;
    store->m_path = partPath;
    store->m_size = size;
    store->m_levelCount = TileSource::LevelCount(size);
    store->m_firstLevel = std::clamp(firstLevel, 0, store->m_levelCount - 1);
    store->m_alpha = alpha;
    store->m_key = key;
    store->layOut();
    store->m_end = kHeaderBytes;
    const QByteArray h = store->header();
    if (!WriteAt(fd, h.constData(), h.size(), 0)) {
        store->discard();
        return {};
    }
    return store;
}

PyramidStore::~PyramidStore() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

QString PyramidStore::path() const {
    std::lock_guard lock(m_mutex);
    return m_path;
}

bool PyramidStore::levelDone(int level) const {
    std::lock_guard lock(m_mutex);
    return level >= m_firstLevel && level < m_levelCount && m_done[size_t(level)];
}

bool PyramidStore::tileReady(const TileId& id) const {
    const int s = slot(id);
    std::lock_guard lock(m_mutex);
    return s >= 0 && (m_written[size_t(s)] || m_done[size_t(id.level)]);
}

QImage PyramidStore::readTile(const TileId& id) const {
    const int s = slot(id);
    if (s < 0) {
        return {};
    }
    Entry e;
    {
        std::lock_guard lock(m_mutex);
        if (!m_written[size_t(s)] && !m_done[size_t(id.level)]) {
            return {};
        }
        e = m_entries[size_t(s)];
    }
    const QSize size = TileSource::TileRect(m_size, id).size();
    if (e.length == 0) {
        return TileImage::Missing(size, TileImage::DisplayFormat(m_alpha));
    }
    QByteArray bytes(qsizetype(e.length), '\0');
    if (!ReadAt(m_fd, bytes.data(), bytes.size(), qint64(e.offset)) ||
        Crc(bytes.constData(), bytes.size()) != e.crc) {
        markDamaged();
        return {};
    }
    QImage tile = TileCodec::Decode(bytes, size, m_alpha);
    if (tile.isNull()) {
        markDamaged();
    }
    return tile;
}

void PyramidStore::markDamaged() const {
    std::lock_guard lock(m_mutex);
    if (!m_damaged) {
        m_damaged = true;
        // Never trusted again: the next open builds it anew.
        QFile::remove(m_path);
    }
}

bool PyramidStore::append(const TileId& id, const QByteArray& bytes) {
    const int s = slot(id);
    if (s < 0 || bytes.isEmpty() || bytes.size() > kMaxTileBytes ||
        !WriteAt(m_fd, bytes.constData(), bytes.size(), qint64(m_end))) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_entries[size_t(s)] = {m_end, quint32(bytes.size()), Crc(bytes.constData(), bytes.size())};
    m_written[size_t(s)] = true;
    m_end += quint64(bytes.size());
    return true;
}

void PyramidStore::setLevelDone(int level) {
    std::lock_guard lock(m_mutex);
    if (level >= m_firstLevel && level < m_levelCount) {
        m_done[size_t(level)] = true;
    }
}

bool PyramidStore::finish(const QString& finalPath) {
    QByteArray index(qsizetype(m_entries.size() * kEntryBytes), '\0');
    {
        std::lock_guard lock(m_mutex);
        for (size_t i = 0; i < m_entries.size(); ++i) {
            const int at = int(i * kEntryBytes);
            Put64(index, at, m_entries[i].offset);
            Put32(index, at + kEntryLengthAt, m_entries[i].length);
            Put32(index, at + kEntryCrcAt, m_entries[i].crc);
        }
    }
    const QByteArray h = header();
    QByteArray foot(kFooterBytes, '\0');
    Put64(foot, 0, m_end);
    Put64(foot, kTileCountAt, m_entries.size());
    Put32(foot, kIndexCrcAt, Crc(index.constData(), index.size()));
    Put32(foot, kHeaderCrcAt, Crc(h.constData(), h.size()));
    std::memcpy(foot.data() + kEndMagicAt, kEndMagic, 8);
    const qint64 indexAt = qint64(m_end);
    if (!WriteAt(m_fd, h.constData(), h.size(), 0) ||
        !WriteAt(m_fd, index.constData(), index.size(), indexAt) ||
        !WriteAt(m_fd, foot.constData(), foot.size(), indexAt + index.size()) ||
        ::fsync(m_fd) != 0) {
        discard();
        return false;
    }
    std::lock_guard lock(m_mutex);
    std::fill(m_done.begin(), m_done.end(), true);
    if (::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(finalPath).constData()) != 0) {
        QFile::remove(m_path);
        return false;
    }
    m_path = finalPath;
    return true;
}

void PyramidStore::discard() {
    std::lock_guard lock(m_mutex);
    QFile::remove(m_path);
}

} // namespace tiles
