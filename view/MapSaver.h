// Keeps a picture's map on disk while its points are edited: a write-behind save shortly after
// every change, and the save at close.
//
// Every change (re)starts a quiet period; when it runs out, or at the latest `maxDelayMs` after
// the first change not yet saved, the list is copied and the copy saved on a worker thread by
// SaveMapGuarded, so neither the encoding nor the disk stall the interface. While a drag is in
// progress (its end is its change) the save waits for it. A dialog never holds a save back: it
// works on copies and its result is a new step, so the save takes the list as it stands. A change
// during a running save is saved by another one after it. A failed save is not retried until
// the next change or the save at close; problem() says why it failed until a save succeeds.

// Other writers of the same map (another window, another running copy) are merged with or kept
// aside as SaveMapGuarded does; when the merge brought their points in, the map takes them
// (PointMap::TakeMerged, then listReplaced) once no drag is in progress; steps and dialogs refer
// to points by id, so the points they refer to stay theirs. When a version was kept aside,
// keptAside names its file.
//
// Nothing is ever written before Load (or Take), nor while the map that was loaded could not be
// read and the list is empty.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "BackgroundJob.h"
#include "DiskStamp.h"
#include "FileResult.h"
#include "MapSaveJob.h"
#include "PointList.h"
#include "PointMap.h"

class MapSaver : public QObject {
    Q_OBJECT
public:
    struct Timing {
        int quietMs = 1000;    // after the last change
        int maxDelayMs = 2000; // after the first unsaved change
        int busyPollMs = 200;  // how often a waiting save looks whether the view is free again
    };

    // `map` is the picture's map (it must outlive the saver); `busy` tells when a save must wait
    // (it may be empty).
    MapSaver(PointMap& map, std::function<bool()> busy, QObject* parent = nullptr);
    // Waits for a running save; never saves by itself.
    ~MapSaver() override;

    void setTiming(const Timing& timing) { m_timing = timing; }

    // What reading a map file found, read on any thread (ReadMap) and taken in on the saver's
    // (Take): the points, the file as it was before the read, and the outcome.
    struct MapRead {
        std::string path;
        DiskStamp stamp;
        PointList list;
        PointList ancestor; // a copy of `list`, made where the read ran
        FileResult result;
    };
    // Reads the map at `path` (see LoadMapFile). Touches no saver: any thread.
    static MapRead ReadMap(const std::string& path);
    // Puts what ReadMap found into the map (PointMap::Reset) and remembers the file as it was.
    FileResult Take(MapRead read);
    // Both at once, on this thread.
    FileResult Load(const std::string& path) { return Take(ReadMap(path)); }
    // The user changed the list: it reaches the disk within the bound.
    void Changed();
    // Waits for a running save, then saves the list as it stands, on this thread. Success when
    // there is nothing to write (before Load, or an unreadable map and no points), and when the
    // save failed but nothing is lost (no file before, no points now).
    FileResult SaveNow();

    // Why the last save failed, or empty when the list is saved or no save failed yet.
    const QString& problem() const { return m_problem; }
    bool hasUnsavedChanges() const { return m_dirty; }
    bool isSaving() const { return m_running; }
    // Saves begun so far, in the background and at close.
    int saveCount() const { return m_saves; }

signals:
    // problem() changed.
    void stateChanged();
    // A version of the map was kept aside under `path`: another writer's version, or (with
    // `unreadable`) a file that could not be read.
    void keptAside(const QString& path, bool unreadable);
    // The map took a list that also holds other writers' points; `historyKept` is false when
    // its edit history had to be cleared for that.
    void listReplaced(bool historyKept);

private:
    bool mustNotWrite() const;
    void Fire();
    void StartBackgroundSave();
    void TakeOutcomeWhenFree();
    void TakeBackgroundOutcome();
    MapSaveRequest TakeRequest();
    // Takes in what a save found and did; `snapshotChanges` is the change count of its copy.
    void Apply(MapSaveOutcome outcome, int snapshotChanges);
    void SetProblem(const QString& problem);

    PointMap& m_map;
    std::function<bool()> m_busy;
    Timing m_timing;

    std::string m_path; // empty until Load or Take
    PointList m_ancestor;
    DiskStamp m_known;
    bool m_knownUnreadable = false;

    QTimer m_timer;
    std::chrono::steady_clock::time_point m_firstUnsaved;
    bool m_dirty = false;
    int m_changes = 0; // counts Changed calls
    int m_saves = 0;

    bool m_running = false;
    bool m_saveAgain = false;
    int m_runningChanges = 0;
    // The running save; empty when its worker could not finish it.
    BackgroundJob<std::optional<MapSaveOutcome>> m_save;
    // A finished save's outcome (empty: it stopped before it finished), until it is taken in.
    bool m_delivered = false;
    std::optional<MapSaveOutcome> m_outcome;

    QString m_problem;
};
