// What the point renderer's timer ticks need to remember between ticks, so that a tick costs
// what changes: which points change on every tick (flashing), which change once their since
// date passes, and where each visible point painted on the window surface.
//
// A full tick records everything (begin, note, end); later ticks ask which points change and,
// for any area, which visible points reach into it. The record holds only while the list, the
// view (zoom, scroll, visible area, show texts) and the surface stay as they were: the renderer
// checks its key and starts afresh otherwise. User-interface thread only.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include <QRect>
#include <QRegion>

#include "RenderLimits.h"

// The parts of one point on the surface, in logical pixels, each cut to the visible area
// (empty when absent or outside): each part is painted opaquely over all of its rectangle.
struct PointShapes {
    QRect square;
    QRect armH; // the cross's row
    QRect armV; // the cross's column
    QRect cell; // the text cell
    QRect centre;

    bool empty() const;
    QRect bounds() const;
    bool intersects(const QRect& r) const;
    // True when the parts cover all of `r`: nothing drawn before the point shows there.
    bool covers(const QRect& r) const;
    void addTo(std::vector<QRect>& rects) const;
    bool operator==(const PointShapes&) const = default;
};

// What the view and the surface were at the full tick; a tick under another key starts afresh.
struct TickKey {
    double zoom = 0;
    int scrollX = 0;
    int scrollY = 0;
    QRect bounds;
    const void* surface = nullptr;
    QSize surfaceSize;
    qreal pixelRatio = 0;
    int count = -1;
    bool operator==(const TickKey&) const = default;
};

class TickTracker {
public:
    // Forgets everything: the next tick is a full one.
    void reset() { m_valid = false; }
    bool valid(const TickKey& key, std::int64_t now) const {
        return m_valid && key == m_key && now >= m_now;
    }

    // Recording a full tick over `count` points drawn into `bounds`, noted in list order or,
    // with `lastFirst`, in reverse.
    void begin(int count, const QRect& bounds, bool lastFirst = false);
    // Point i flips a flash phase on every tick.
    void noteFlasher(int i) { m_flashers.push_back(i); }
    // Point i's since date passes once the time is later than `instant`.
    void notePending(int i, std::int64_t instant) { m_pending.emplace_back(instant, i); }
    // Where point i painted (visible points only, each once, in the order begin gave).
    void noteShapes(int i, const PointShapes& shapes);
    void end(const TickKey& key, std::int64_t now);

    const std::vector<int>& flashers() const { return m_flashers; }
    // Points whose since date has passed by `now` since the last call, in list order; those
    // that flash join the flashers.
    std::vector<int> takeDue(std::int64_t now);
    void addFlasher(int i) { m_flashers.push_back(i); }

    // Where point i painted at its last drawing; null when it was not visible.
    const PointShapes* shapes(int i) const;
    // Point i now paints `shapes` (empty: not visible).
    void setShapes(int i, const PointShapes& shapes);

    // Appends to `out` the visible points from index `from` on that reach into `area`, in list
    // order, each once.
    void reaching(const QRect& area, int from, std::vector<int>& out);
    // Changes whenever a point's shapes change or a full tick is recorded: what reaches into
    // an area stays the same while it does.
    std::uint64_t shapesVersion() const { return m_version; }
    void setNow(std::int64_t now) { m_now = now; }

private:
    // `recording`: a full tick notes the point, its index beyond (or, last first, before)
    // every index in its buckets.
    void addToGrid(int slot, const PointShapes& shapes, bool recording);

    bool m_valid = false;
    bool m_lastFirst = false; // recording in reverse list order
    TickKey m_key;
    std::int64_t m_now = 0;
    QRect m_bounds;
    std::vector<int> m_flashers;
    std::vector<std::pair<std::int64_t, int>> m_pending; // latest first, so the due are last
    std::vector<int> m_slotOf;                            // per point: slot or -1
    struct Slot {
        int index;
        PointShapes shapes;
    };
    std::vector<Slot> m_slots;
    int m_columns = 0;
    int m_rows = 0;
    std::vector<std::vector<int>> m_grid; // per bucket, the points reaching into it, in order
    std::vector<std::uint32_t> m_stamp;   // per slot: the query that last saw it
    std::uint32_t m_query = 0;
    std::uint64_t m_version = 0;
};
