#include "RecentFileList.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {
QString KeyFor(int n) {
    return QStringLiteral("File%1").arg(n);
}
} // namespace

RecentFileList::RecentFileList(QSettings& storage, int maxSize)
    : m_storage(storage), m_maxSize(maxSize < 1 ? 1 : maxSize) {
    m_writeTimer.setSingleShot(true);
    m_writeTimer.setInterval(kWriteDelayMs);
    QObject::connect(&m_writeTimer, &QTimer::timeout, &m_writeTimer, [this] { WriteList(); });
}

RecentFileList::~RecentFileList() {
    if (m_writePending) {
        WriteList();
    }
}

void RecentFileList::ReadList() {
    m_entries.clear();
    m_storage.beginGroup(QLatin1String(kSection));
    for (int n = 1; n <= m_maxSize; ++n) {
        const QString path = m_storage.value(KeyFor(n)).toString();
        if (!path.isEmpty() && !m_entries.contains(Normalize(path))) {
            m_entries.append(Normalize(path));
        }
    }
    m_storage.endGroup();
}

void RecentFileList::WriteList() {
    m_writeTimer.stop();
    m_writePending = false;
    m_storage.remove(QLatin1String(kSection));
    m_storage.beginGroup(QLatin1String(kSection));
    for (int i = 0; i < m_entries.size(); ++i) {
        m_storage.setValue(KeyFor(i + 1), m_entries.at(i));
    }
    m_storage.endGroup();
    m_storage.sync();
}

void RecentFileList::Add(const QString& path) {
    if (path.isEmpty()) {
        return;
    }
    const QString entry = Normalize(path);
    m_entries.removeAll(entry);
    m_entries.prepend(entry);
    while (m_entries.size() > m_maxSize) {
        m_entries.removeLast();
    }
    ScheduleWrite();
}

void RecentFileList::Remove(int index) {
    if (index < 0 || index >= m_entries.size()) {
        return;
    }
    m_entries.removeAt(index);
    ScheduleWrite();
}

void RecentFileList::ScheduleWrite() {
    // The first change since the last write starts the delay; later ones ride along.
    if (!m_writePending) {
        m_writePending = true;
        m_writeTimer.start();
    }
}

void RecentFileList::Remove(const QString& path) {
    Remove(m_entries.indexOf(Normalize(path)));
}

QString RecentFileList::at(int index) const {
    return index >= 0 && index < m_entries.size() ? m_entries.at(index) : QString();
}

QStringList RecentFileList::displayNames() const {
    const QString home = QDir::homePath();
    QStringList names;
    for (const QString& entry : m_entries) {
        QString shown = entry;
        if (home.size() > 1 && shown.startsWith(home + QLatin1Char('/'))) {
            shown = QLatin1Char('~') + shown.mid(home.size());
        }
        names.append(QDir::toNativeSeparators(shown));
    }
    return names;
}

QString RecentFileList::Normalize(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}
