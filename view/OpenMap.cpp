#include "OpenMap.h"

#include <QTimerEvent>

#include <algorithm>

#include "CZelvorView.h"

namespace {
constexpr int kPaintPeriodMs = 300;
}

OpenMap::OpenMap(QObject* parent)
    : QObject(parent), m_saver(m_map, [this] { return m_map.isMoving(); }) {
    connect(&m_saver, &MapSaver::listReplaced, this, [this](bool historyKept) {
        if (!historyKept) {
            emit message(tr("Another program changed this map: the points were reloaded, and "
                            "the edits made here can no longer be undone."));
        }
        emit pointsChanged();
    });
}

OpenMap::~OpenMap() {
    m_timer.stop();
    blockSignals(true); // the map is going: nothing more to show
    m_saver.blockSignals(true);
    if (hasWaitingSteps()) {
        FinishLoading(); // steps made before the points arrived are saved with them
    }
    if (!m_settled) {
        // A destructor cannot ask the user and must not throw: the save is quiet, and a failure
        // leaves the previous file as it was.
        try {
            m_saver.SaveNow();
        } catch (...) {
        }
    }
}

FileResult OpenMap::EnsureLoaded(const std::string& path) {
    if (m_path.empty()) {
        m_path = path;
        TakeRead(MapSaver::ReadMap(path));
    }
    FinishLoading();
    return m_load;
}

void OpenMap::LoadInBackground(const std::string& path) {
    if (!m_path.empty()) {
        return;
    }
    m_path = path;
    const bool started =
        m_reading.start([path](const std::atomic<bool>&) { return MapSaver::ReadMap(path); },
                        [this](MapSaver::MapRead read) { TakeRead(std::move(read)); });
    if (!started) {
        TakeRead(MapSaver::ReadMap(path));
    }
}

void OpenMap::FinishLoading() {
    if (m_reading.isRunning()) {
        TakeRead(m_reading.wait());
    }
}

void OpenMap::TakeRead(MapSaver::MapRead read) {
    m_load = m_saver.Take(std::move(read));
    // Steps made while the points were on their way, in order; each saves like any edit.
    std::vector<std::function<void()>> waiting = std::move(m_waiting);
    m_waiting.clear();
    for (const std::function<void()>& step : waiting) {
        step();
    }
    emit loaded();
    emit pointsChanged();
}

void OpenMap::WhenLoaded(std::function<void()> step) {
    if (!isLoading()) {
        step();
    } else {
        m_waiting.push_back(std::move(step));
    }
}

void OpenMap::Edited() {
    m_settled = false;
    m_saver.Changed();
    emit pointsChanged();
}

void OpenMap::Changed() {
    Edited();
}

PointId OpenMap::Add(const PointEntry& entry, const std::string& name) {
    const PointId id = m_map.Add(entry, name);
    Edited();
    return id;
}

bool OpenMap::Edit(PointId id, const PointEntry& entry, const std::string& name) {
    if (!m_map.Edit(id, entry, name)) {
        return false;
    }
    Edited();
    return true;
}

void OpenMap::ApplyLook(const PointRecord& look, std::span<const PointId> ids,
                        const std::string& name) {
    m_map.ApplyLook(look, ids, name);
    Edited();
}

void OpenMap::SetSince(std::span<const PointId> ids, bool on, const SYSTEMTIME& since,
                       const std::string& name) {
    m_map.SetSince(ids, on, since, name);
    Edited();
}

int OpenMap::Remove(std::span<const PointId> ids, const std::string& name) {
    const int removed = m_map.Remove(ids, name);
    if (removed > 0) {
        Edited();
    }
    return removed;
}

std::vector<PointId> OpenMap::Insert(std::vector<PointEntry> entries, const std::string& name) {
    std::vector<PointId> ids = m_map.Insert(std::move(entries), name);
    Edited();
    return ids;
}

void OpenMap::Nudge(std::span<const PointId> ids, double dx, double dy, bool extendRun,
                    const std::string& name) {
    m_map.Nudge(ids, dx, dy, extendRun, name);
    Edited();
}

bool OpenMap::Undo() {
    if (!m_map.Undo()) {
        return false;
    }
    Edited();
    return true;
}

bool OpenMap::Redo() {
    if (!m_map.Redo()) {
        return false;
    }
    Edited();
    return true;
}

void OpenMap::BeginDrag(std::span<const PointId> ids) {
    m_map.BeginMove(ids);
}

void OpenMap::DragTo(PointId id, double x, double y) {
    m_map.MoveLive(id, x, y);
    Edited();
}

void OpenMap::EndDrag(const std::string& name) {
    if (m_map.EndMove(name)) {
        Edited();
    }
}

void OpenMap::Attach(CZelvorView* view) {
    if (std::find(m_views.begin(), m_views.end(), view) == m_views.end()) {
        m_views.push_back(view);
    }
    if (!m_timer.isActive()) {
        m_timer.start(kPaintPeriodMs, this);
    }
}

void OpenMap::Detach(CZelvorView* view) {
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
    if (m_views.empty()) {
        m_timer.stop();
    }
}

void OpenMap::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_timer.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    // Every ticking view draws the phases as they stand; the last one moves them on.
    std::vector<CZelvorView*> ticking;
    for (CZelvorView* view : m_views) {
        if (view->isTicking()) {
            ticking.push_back(view);
        }
    }
    for (std::size_t k = 0; k < ticking.size(); ++k) {
        ticking[k]->TickPoints(k + 1 == ticking.size());
    }
}
