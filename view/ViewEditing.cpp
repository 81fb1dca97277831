// The map view's editing beyond the mouse: the selection and its marks, the keyboard, and the
// Edit menu's commands (undo, redo, delete, select all, and the points the clipboard carries).
#include "CZelvorView.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "MapMerge.h"
#include "Picture.h"
#include "SelectionMarks.h"
#include "Text8.h"
#include "ViewGeometry.h"

namespace {

// Arrow keys move the selection this far in picture pixels; with Shift ten times as far.
constexpr double kNudgeStep = 1.0;
constexpr double kNudgeShiftStep = 10.0;
// Pasted points that would lie exactly over the same point move by this much.
constexpr double kPasteOffset = 10.0;

QString UpToNul(const std::string& text) {
    return FromText8(text.substr(0, text.find('\0')));
}

// True when a point of `probe` lies exactly where the same point of `list` does: one pass over
// the list whatever the number of points.
bool StacksOver(const PointList& list, const PointList& probe) {
    std::unordered_multimap<std::uint64_t, int> at;
    at.reserve(static_cast<std::size_t>(probe.count()));
    const auto key = [](const PointRecord& r) {
        // 2^64 divided by the golden ratio: spreads x over every bit before y joins it.
        constexpr std::uint64_t kSpread = 0x9E3779B97F4A7C15ULL;
        std::uint64_t x = 0;
        std::uint64_t y = 0;
        std::memcpy(&x, &r.dX, sizeof x);
        std::memcpy(&y, &r.dY, sizeof y);
        return x * kSpread ^ y;
    };
    for (int k = 0; k < probe.count(); ++k) {
        at.emplace(key(probe.point(k)), k);
    }
    for (int i = 0; i < list.count(); ++i) {
        const auto [from, to] = at.equal_range(key(list.point(i)));
        for (auto it = from; it != to; ++it) {
            if (SamePoint(list, i, probe, it->second)) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

void CZelvorView::OnPointsChanged() {
    m_renderer.invalidate();
    m_bRepaintPending = true;
    const std::uint64_t removals = m_map->map().removals();
    if (removals != m_seenRemovals) {
        m_seenRemovals = removals;
        m_selection.prune(m_map->map());
    }
}

void CZelvorView::OnSelectionChanged() {
    m_bNudgeRun = false;
    m_renderer.invalidate();
    m_bRepaintPending = true;
}

QRegion CZelvorView::DrawSelectionMarks(const QRegion& area) {
    if (m_selection.empty() || m_surface.isNull() || area.isEmpty()) {
        m_marks.Forget();
        return {};
    }
    // After a tick that repainted pieces only the marks over them need drawing again.
    if (m_renderer.lastTickRepaintedPieces(m_tickPieces)) {
        return m_marks.DrawOver(m_surface, m_tickPieces);
    }
    return m_marks.DrawAll(m_surface, m_map->map(), m_selection.ids(), m_dZoom, scrollPosition(),
                           QRect(QPoint(0, 0), viewport()->size()));
}

void CZelvorView::OnEditUndo() {
    if (CanEdit() && m_map->Undo()) {
        RedrawWindow();
    }
}

void CZelvorView::OnEditRedo() {
    if (CanEdit() && m_map->Redo()) {
        RedrawWindow();
    }
}

bool CZelvorView::OnEditDelete(const std::string& name) {
    if (!CanEdit() || m_selection.empty()) {
        return false;
    }
    const std::vector<PointId> ids = m_selection.ids();
    QString question;
    if (ids.size() == 1) {
        const int i = m_map->map().indexOf(ids.front());
        question = QLatin1String("Remove that Point?\n\n ") + UpToNul(m_map->list().label(i));
    } else {
        question = tr("Remove these %n Points?", nullptr, static_cast<int>(ids.size()));
    }
    const auto answer = m_services.ask(this, question, QMessageBox::Question,
                                       QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer != QMessageBox::Yes) {
        return false;
    }
    // By id: whatever changed while the question was open, only these points go.
    const int removed = m_map->Remove(ids, name);
    m_selection.clear();
    RedrawWindow();
    return removed > 0;
}

void CZelvorView::OnEditSelectAll() {
    if (CanEdit()) {
        m_selection.set(m_map->map().ids());
    }
}

int CZelvorView::PasteEntries(std::vector<PointEntry> entries, const std::string& name) {
    if (!CanEdit() || entries.empty()) {
        return 0;
    }
    const double maxX = std::max(0, m_pImage->width() - 1);
    const double maxY = std::max(0, m_pImage->height() - 1);
    const PointList& list = m_map->list();
    int onEdge = 0;
    for (PointEntry& e : entries) {
        PointRecord& r = e.rec;
        if (!std::isfinite(r.dX) || !std::isfinite(r.dY) || r.dX < 0 || r.dY < 0 ||
            r.dX > maxX || r.dY > maxY) {
            r.dX = std::isfinite(r.dX) ? std::clamp(r.dX, 0.0, maxX) : 0.0;
            r.dY = std::isfinite(r.dY) ? std::clamp(r.dY, 0.0, maxY) : 0.0;
            ++onEdge;
        }
    }
    // A paste never stacks a copy exactly over its original: where the same point is already
    // at that place (a copy pasted back into its own picture), the whole paste moves on.
    PointList probe;
    for (const PointEntry& e : entries) {
        probe.AddPoint(e.rec, e.label, e.sinceText, e.memo);
    }
    for (int round = 0; round < 100 && StacksOver(list, probe); ++round) {
        for (int k = 0; k < probe.count(); ++k) {
            PointRecord& r = probe.point(k);
            r.dX = std::min(r.dX + kPasteOffset, maxX);
            r.dY = std::min(r.dY + kPasteOffset, maxY);
        }
    }
    for (int k = 0; k < probe.count(); ++k) {
        entries[static_cast<std::size_t>(k)].rec = probe.point(k);
    }
    const std::vector<PointId> ids = m_map->Insert(std::move(entries), name);
    m_selection.set(ids);
    RedrawWindow();
    return onEdge;
}

void CZelvorView::RunBulkDialog() {
    const PointMap& map = m_map->map();
    const int first = map.indexOf(m_selection.ids().front());
    if (first < 0) {
        return;
    }
    // The dialog shows the first selected point; its look and since date go to all of them.
    const PointList& list = map.list();
    const PointEntry shown{list.point(first), list.label(first), list.sinceText(first),
                           list.memo(first)};
    if (const std::optional<PointDialogResult> result = RunDialogOn(shown)) {
        const PointRecord& rec = result->entry.rec;
        const bool applyToAll = result->applyToAll;
        // The selection as it is now: points removed meanwhile are left out.
        m_selection.prune(m_map->map());
        const std::vector<PointId> ids = m_selection.ids();
        const std::string name = applyToAll ? "Apply to All Points" : "Edit Points";
        PointMap& edit = m_map->map();
        edit.BeginGroup(name);
        if (applyToAll || !ids.empty()) {
            edit.ApplyLook(rec, applyToAll ? std::span<const PointId>() : std::span(ids), name);
        }
        // A since date changed in the dialog goes to every selected point; one left as shown
        // keeps each point's own.
        if (rec.bSinceDate != shown.rec.bSinceDate ||
            std::memcmp(&rec.stSince, &shown.rec.stSince, sizeof rec.stSince) != 0) {
            edit.SetSince(ids, rec.bSinceDate != 0, rec.stSince, name);
        }
        edit.EndGroup();
        m_map->Changed();
    }
    RedrawWindow();
}

void CZelvorView::SelectAndShow(int i) {
    const PointRecord& r = m_map->list().point(i);
    m_selection.set({m_map->map().idAt(i)});
    // Scrolled so that the point lies inside the viewport, with a margin where there is room.
    const QPoint scroll = scrollPosition();
    const ClientPoint c = PictureToClient(r.dX, r.dY, m_dZoom, scroll.x(), scroll.y());
    const QRect inside = viewport()->rect().adjusted(20, 20, -20, -20);
    if (!inside.contains(c.x, c.y)) {
        horizontalScrollBar()->setValue(scroll.x() + c.x - viewport()->width() / 2);
        verticalScrollBar()->setValue(scroll.y() + c.y - viewport()->height() / 2);
    }
}

bool CZelvorView::OnKey(int key, Qt::KeyboardModifiers keys) {
    if (!CanEdit()) {
        return false; // a blank view, or a drag in progress
    }
    const PointMap& map = m_map->map();
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down: {
        if (m_selection.empty()) {
            return true;
        }
        const double step = keys & Qt::ShiftModifier ? kNudgeShiftStep : kNudgeStep;
        const double dx = key == Qt::Key_Left ? -step : key == Qt::Key_Right ? step : 0;
        const double dy = key == Qt::Key_Up ? -step : key == Qt::Key_Down ? step : 0;
        m_map->Nudge(m_selection.ids(), dx, dy, m_bNudgeRun,
                     m_selection.count() == 1 ? "Move Point" : "Move Points");
        m_bNudgeRun = true;
        RedrawWindow();
        return true;
    }
    case Qt::Key_Delete:
        OnEditDelete();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_selection.count() == 1) {
            RunPointDialog(map.indexOf(m_selection.ids().front()), {});
        } else if (m_selection.count() > 1) {
            RunBulkDialog();
        }
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: {
        if (map.count() == 0) {
            return true;
        }
        const bool back = key == Qt::Key_Backtab || (keys & Qt::ShiftModifier);
        int from = m_selection.empty() ? -1 : map.indexOf(m_selection.ids().back());
        if (back && !m_selection.empty()) {
            from = map.indexOf(m_selection.ids().front());
        }
        const int n = map.count();
        const int next = from < 0 ? (back ? n - 1 : 0) : (from + (back ? n - 1 : 1)) % n;
        SelectAndShow(next);
        return true;
    }
    case Qt::Key_Escape:
        m_selection.clear();
        return true;
    default:
        return false;
    }
}

void CZelvorView::keyPressEvent(QKeyEvent* event) {
    if (OnKey(event->key(), event->modifiers())) {
        event->accept();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

bool CZelvorView::event(QEvent* event) {
    // Tab and Shift+Tab walk through the points rather than the focus chain.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            keyPressEvent(key);
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}
