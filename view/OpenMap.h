// The map of one open picture, shared by every view of it: the points and their edit history
// (PointMap), the write-behind saving (MapSaver), the paint tick of its views and the rule of
// when the map counts as settled. The document owns it (a view made on its own owns its own);
// every view of the picture shows and edits it, and learns of every change through
// pointsChanged, so an edit in one window shows in every other one by its next tick.
//
// Every edit goes through the step methods here (or through map() followed by Changed()): each
// one reaches the disk by write-behind. One timer ticks all views of the map at once, and only
// the last view of a tick advances the flash phases, so every point flashes at the same rate in
// every window that shows it.
//
// The map file is read once, by the first view whose picture decoded: at once (EnsureLoaded) or
// on a worker (LoadInBackground), so that a huge map never stalls the window. Until the points
// have arrived the map is empty and nothing edits or writes it: a step made meanwhile (a Point
// dialog accepted before the points showed) waits in WhenLoaded and is applied, in order, as
// they arrive, or at the latest when the map is closed (FinishLoading). Every view of the map
// shares the one read. The map is written once more when it goes (quietly, if nobody settled
// it with a close).
#pragma once

#include <QBasicTimer>
#include <QObject>
#include <QString>

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "BackgroundJob.h"
#include "FileResult.h"
#include "MapSaver.h"
#include "PointMap.h"

class CZelvorView;

class OpenMap : public QObject {
    Q_OBJECT
public:
    explicit OpenMap(QObject* parent = nullptr);
    // Saves quietly when the map changed since it was last settled.
    ~OpenMap() override;

    PointMap& map() { return m_map; }
    const PointMap& map() const { return m_map; }
    const PointList& list() const { return m_map.list(); }
    MapSaver& saver() { return m_saver; }

    // Reads the map file at `path` the first time; later calls return the first result (and
    // wait for a read begun in the background).
    FileResult EnsureLoaded(const std::string& path);
    // Starts reading the map file at `path` on a worker the first time (at once when no event
    // loop can deliver it); the points arrive later, with pointsChanged and loaded.
    void LoadInBackground(const std::string& path);
    // True once a read has been asked for (it may still run).
    bool isLoadStarted() const { return !m_path.empty(); }
    // True while the points are being read in the background.
    bool isLoading() const { return m_reading.isRunning(); }
    // True once the points are there (edits may begin).
    bool isLoaded() const { return isLoadStarted() && !isLoading(); }
    // The outcome of the read, once isLoaded().
    const FileResult& loadResult() const { return m_load; }
    const std::string& path() const { return m_path; }
    // Runs `step` on the map once its points are there: now unless they are being read, else
    // as they arrive (steps in the order given). A step must reach the map only through this
    // object.
    void WhenLoaded(std::function<void()> step);
    // Blocks until a background read has arrived and been taken in, with its waiting steps.
    void FinishLoading();
    // True while steps wait for the points.
    bool hasWaitingSteps() const { return !m_waiting.empty(); }

    // The points changed through map() (tests, bulk tools): saves soon and tells the views.
    void Changed();

    // Steps, each saved soon and shown in every view. See PointMap for what each does.
    PointId Add(const PointEntry& entry, const std::string& name = "Add Point");
    bool Edit(PointId id, const PointEntry& entry, const std::string& name = "Edit Point");
    void ApplyLook(const PointRecord& look, std::span<const PointId> ids, const std::string& name);
    void SetSince(std::span<const PointId> ids, bool on, const SYSTEMTIME& since,
                  const std::string& name);
    int Remove(std::span<const PointId> ids, const std::string& name);
    std::vector<PointId> Insert(std::vector<PointEntry> entries, const std::string& name);
    void Nudge(std::span<const PointId> ids, double dx, double dy, bool extendRun,
               const std::string& name);
    bool Undo();
    bool Redo();

    // A drag in a view: saves wait until it ends, and merged points come in after it.
    void BeginDrag(std::span<const PointId> ids);
    void DragTo(PointId id, double x, double y);
    void EndDrag(const std::string& name);
    bool isDragging() const { return m_map.isMoving(); }

    // True once a close has saved, discarded or deliberately left the map; any edit clears it.
    bool isSettled() const { return m_settled; }
    void setSettled() { m_settled = true; }

    // The views showing the map, ticked together every 300 ms while any is attached.
    void Attach(CZelvorView* view);
    void Detach(CZelvorView* view);
    // The view that reports for the map (notices of versions kept aside): the first attached.
    bool isPrimary(const CZelvorView* view) const {
        return !m_views.empty() && m_views.front() == view;
    }

signals:
    // The points changed (a step, an undo or redo, a merge): views repaint them.
    void pointsChanged();
    // A short report for the status bar (the history cleared by a merge).
    void message(const QString& text);
    // The map file was read (loadResult() says how it went); pointsChanged follows.
    void loaded();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void Edited();
    void TakeRead(MapSaver::MapRead read);

    PointMap m_map;
    MapSaver m_saver;
    std::string m_path;
    FileResult m_load;
    BackgroundJob<MapSaver::MapRead> m_reading;
    std::vector<std::function<void()>> m_waiting; // steps made before the points arrived
    bool m_settled = false;
    std::vector<CZelvorView*> m_views;
    QBasicTimer m_timer;
};
