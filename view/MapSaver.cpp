#include "MapSaver.h"

#include <algorithm>
#include <utility>

#include "MapFiles.h"
#include "MapMerge.h"
#include "Text8.h"

MapSaver::MapSaver(PointMap& map, std::function<bool()> busy, QObject* parent)
    : QObject(parent), m_map(map), m_busy(std::move(busy)) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &MapSaver::Fire);
}

MapSaver::~MapSaver() {
    m_timer.stop();
    if (m_save.isRunning()) {
        m_save.wait();
    }
}

MapSaver::MapRead MapSaver::ReadMap(const std::string& path) {
    MapRead read;
    read.path = path;
    // Stamped before reading: a write that lands in between shows as a change at the next save,
    // which then finds the same points and simply saves.
    read.stamp = StampOf(path);
    read.result = LoadMapFile(path, read.list);
    read.ancestor = read.list;
    return read;
}

FileResult MapSaver::Take(MapRead read) {
    m_path = std::move(read.path);
    m_known = read.stamp;
    m_knownUnreadable = read.result.status == FileResult::Failed;
    m_ancestor = std::move(read.ancestor);
    m_map.Reset(std::move(read.list));
    return read.result;
}

bool MapSaver::mustNotWrite() const {
    return m_path.empty() || (m_knownUnreadable && m_map.list().empty());
}

void MapSaver::Changed() {
    ++m_changes;
    if (m_path.empty()) {
        return;
    }
    using namespace std::chrono;
    const auto now = steady_clock::now();
    if (!m_dirty) {
        m_dirty = true;
        m_firstUnsaved = now;
    }
    const auto waited = duration_cast<milliseconds>(now - m_firstUnsaved).count();
    const auto left = std::max<long long>(0, m_timing.maxDelayMs - waited);
    m_timer.start(static_cast<int>(std::min<long long>(m_timing.quietMs, left)));
}

void MapSaver::Fire() {
    if (!m_dirty) {
        return;
    }
    if (m_busy && m_busy()) {
        m_timer.start(m_timing.busyPollMs);
        return;
    }
    if (m_running) {
        m_saveAgain = true;
        return;
    }
    StartBackgroundSave();
}

MapSaveRequest MapSaver::TakeRequest() {
    MapSaveRequest request;
    request.path = m_path;
    request.ours = m_map.list();
    request.ancestor = std::move(m_ancestor);
    request.known = m_known;
    request.knownUnreadable = m_knownUnreadable;
    m_ancestor = PointList();
    m_dirty = false;
    ++m_saves;
    return request;
}

void MapSaver::StartBackgroundSave() {
    if (mustNotWrite()) {
        m_dirty = false;
        return;
    }
    m_runningChanges = m_changes;
    m_running = true;
    m_delivered = false;
    m_save.start(
        [request =
             TakeRequest()](const std::atomic<bool>&) mutable -> std::optional<MapSaveOutcome> {
            try {
                MapSaveOutcome outcome = SaveMapGuarded(std::move(request));
                if (!outcome.othersTaken) {
                    outcome.ours = PointList(); // freed here rather than on the interface's thread
                }
                return outcome;
            } catch (...) {
                return std::nullopt; // taken in as a save that stopped before it finished
            }
        },
        [this](std::optional<MapSaveOutcome> outcome) {
            m_outcome = std::move(outcome);
            m_delivered = true;
            TakeOutcomeWhenFree();
        });
}

void MapSaver::TakeOutcomeWhenFree() {
    if (!m_running || !m_delivered) {
        return; // taken in by SaveNow already, and perhaps another save running since
    }
    if (m_outcome && m_outcome->othersTaken && m_busy && m_busy()) {
        // A drag moves its points in place until it ends: the other points come after it.
        QTimer::singleShot(m_timing.busyPollMs, this, &MapSaver::TakeOutcomeWhenFree);
        return;
    }
    TakeBackgroundOutcome();
    if (m_saveAgain) {
        m_saveAgain = false;
        Fire();
    }
}

void MapSaver::TakeBackgroundOutcome() {
    m_running = false;
    m_delivered = false;
    if (!m_outcome) {
        // The worker gave no outcome (it cannot, short of an exception): nothing is known to be
        // saved, so the list counts as changed.
        m_dirty = true;
        SetProblem(tr("the save stopped before it finished"));
        return;
    }
    MapSaveOutcome outcome = std::move(*m_outcome);
    m_outcome.reset();
    Apply(std::move(outcome), m_runningChanges);
}

FileResult MapSaver::SaveNow() {
    m_timer.stop();
    if (m_running) {
        if (!m_delivered) {
            m_outcome = m_save.wait();
            m_delivered = true;
        }
        m_saveAgain = false;
        TakeBackgroundOutcome();
    }
    if (mustNotWrite()) {
        m_dirty = false;
        return FileResult::success();
    }
    const bool hadFile = m_known.exists;
    const int changes = m_changes;
    MapSaveOutcome outcome = SaveMapGuarded(TakeRequest());
    const FileResult result = outcome.result;
    Apply(std::move(outcome), changes);
    if (!result.ok() && m_map.list().empty() && !hadFile) {
        m_dirty = false; // no file before and no points now: nothing is lost
        SetProblem({});
        return FileResult::success();
    }
    return result;
}

void MapSaver::Apply(MapSaveOutcome outcome, int snapshotChanges) {
    m_known = outcome.known;
    m_knownUnreadable = outcome.knownUnreadable;
    if (!outcome.keptAside.empty()) {
        emit keptAside(FromText8(outcome.keptAside), outcome.keptUnreadable);
    }
    if (!outcome.result.ok()) {
        m_ancestor = std::move(outcome.ancestor);
        m_dirty = true;
        SetProblem(FromText8(outcome.result.message));
        return;
    }
    if (outcome.othersTaken) {
        if (m_changes == snapshotChanges) {
            emit listReplaced(m_map.TakeMerged(outcome.ancestor));
        } else if (StartsWith(m_map.list(), outcome.ours)) {
            // Points appended while the save ran go after the merged ones.
            PointList merged = outcome.ancestor;
            AppendFrom(merged, m_map.list(), outcome.ours.count());
            emit listReplaced(m_map.TakeMerged(std::move(merged)));
        } else {
            // Edited meanwhile in a way that cannot be laid over the other points: the next save
            // compares the file with the list this one saved from, so nothing is dropped.
            outcome.ancestor = std::move(outcome.ours);
            m_known = DiskStamp();
            m_known.exists = true;
        }
    }
    m_ancestor = std::move(outcome.ancestor);
    SetProblem({});
}

void MapSaver::SetProblem(const QString& problem) {
    if (problem != m_problem) {
        m_problem = problem;
        emit stateChanged();
    }
}
