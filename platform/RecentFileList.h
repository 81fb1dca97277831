// The list of recently opened files, most recent first, kept in a settings store under the
// section "Recent File List" with the keys "File1", "File2", ... The store is handed in, so the
// program uses its own settings and tests a temporary file. The menu only shows the list.
//
// A change reaches the store (and its file) kWriteDelayMs later, from the event loop, so that
// opening a file never waits for the disk; WriteList() and the destructor write a pending
// change at once.
#pragma once

#include <QString>
#include <QStringList>
#include <QTimer>

class QSettings;

class RecentFileList {
public:
    static constexpr const char* kSection = "Recent File List";
    static constexpr int kWriteDelayMs = 1000;

    // `storage` must outlive the list. Nothing is read until ReadList().
    RecentFileList(QSettings& storage, int maxSize);
    // Writes a pending change.
    ~RecentFileList();
    RecentFileList(const RecentFileList&) = delete;
    RecentFileList& operator=(const RecentFileList&) = delete;

    // Replaces the entries with those stored (File1 ... File<maxSize>, empty keys skipped).
    void ReadList();
    // Writes the entries as File1 ... FileN, removes any stale keys of the section and syncs
    // the store to its file, now; a pending write is then no longer due.
    void WriteList();
    // True while a change waits to be written.
    bool writePending() const { return m_writePending; }

    // Puts `path` (made absolute) at the top; an equal entry further down moves up instead of
    // being repeated, and the oldest entry falls off when the list is full. The list is written
    // kWriteDelayMs later.
    void Add(const QString& path);
    // Removes entry `index` (0-based); out-of-range indexes change nothing. The list is written
    // kWriteDelayMs later.
    void Remove(int index);
    // Removes the entry equal to `path`, if any; written as Remove(int).
    void Remove(const QString& path);

    int size() const { return static_cast<int>(m_entries.size()); }
    bool isEmpty() const { return m_entries.isEmpty(); }
    int maxSize() const { return m_maxSize; }
    const QStringList& entries() const { return m_entries; }
    // Entry `index`, or an empty string when out of range.
    QString at(int index) const;
    // The entries as the menu shows them (native separators, home folder as "~").
    QStringList displayNames() const;

    // The form entries are kept in: absolute and cleaned.
    static QString Normalize(const QString& path);

private:
    void ScheduleWrite();

    QSettings& m_storage;
    int m_maxSize;
    QStringList m_entries;
    QTimer m_writeTimer;
    bool m_writePending = false;
};
