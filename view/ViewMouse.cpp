// The map view's mouse handling: dragging points, the Point dialog on a left double-click,
// removal on a right double-click, the Ctrl double-click zooms and the status line.
//
// Qt delivers a double-click as press, release, double-click, release, the order the handlers
// expect; the double-click neither starts a drag nor stops the timer. Qt also delivers the
// release of a press that began in the view wherever the cursor is by then, so a drag always
// ends at its release; moves outside the view's client area are ignored.
#include "CZelvorView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "DrawingSurface.h"
#include "Text8.h"
#include "TextLimits.h"
#include "ViewGeometry.h"

namespace {

// A text as "%s" formats it: up to its first NUL byte.
// The part of a text that is shown: up to a NUL, at most what drawing shows of it.
std::string UpToNul(const std::string& text) {
    const std::string_view shown = ShownText(text);
    return std::string(shown.substr(0, shown.find('\0')));
}

// The zoom as "%5.2f" prints it, but always with "." as the decimal separator: the C library's
// formats follow the locale's LC_NUMERIC, which the user's locale may set to ",".
std::string ZoomText(double zoom) {
    constexpr std::size_t kMaxFixedChars = 400; // a fixed-notation double has at most 309 digits
    constexpr std::size_t kWidth = 5;           // the 5 of "%5.2f"
    char digits[kMaxFixedChars];
    const auto end =
        std::to_chars(digits, digits + sizeof digits, zoom, std::chars_format::fixed, 2).ptr;
    std::string text(digits, end);
    if (text.size() < kWidth) {
        text.insert(0, kWidth - text.size(), ' ');
    }
    return text;
}

// The status line: the short form without a point under the cursor, the long form with its
// label and memo. The numbers are formatted as bytes; each 8-bit text is decoded on its own, so
// a label in UTF-8 beside a memo written on Windows both show right.
QString StatusText(int count, int x, int y, double zoom, const std::string* label,
                   const std::string* memo) {
    const std::string zoomText = ZoomText(zoom);
    char head[512]; // room for any zoom text
    if (label == nullptr) {
        std::snprintf(head, sizeof head, " points = %d, x = %3d, y = %3d, zoom = %s", count, x, y,
                      zoomText.c_str());
        return QString::fromLatin1(head);
    }
    std::snprintf(head, sizeof head, " points = %3d, x = %3d, y = %3d, zoom = %s, point = \"",
                  count, x, y, zoomText.c_str());
    return QString::fromLatin1(head) + FromText8(UpToNul(*label)) + QLatin1String("\", memo = \"") +
           FromText8(UpToNul(*memo)) + QLatin1Char('"');
}

QString RemovePrompt(const std::string& label) {
    return QLatin1String("Remove that Point?\n\n ") + FromText8(UpToNul(label));
}

// Client pixel under the cursor (positions may be fractional on scaled screens).
QPoint ClientPixel(const QMouseEvent* event) {
    const QPointF p = event->position();
    return {static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y()))};
}

} // namespace

void CZelvorView::OnLButtonDown(Qt::KeyboardModifiers keys, QPoint point) {
    const int i = FindPointAt(point.x(), point.y());
    m_dragIds.clear();
    m_bDragMoved = false;
    m_bNudgeRun = false;
    m_pressKeys = keys;
    if (i >= 0) {
        // A selected point drags the whole selection; any other point drags alone.
        m_dragLead = m_map->map().idAt(i);
        if (m_selection.contains(m_dragLead) && !(keys & Qt::ControlModifier)) {
            m_dragIds = m_selection.ids();
        } else {
            m_dragIds = {m_dragLead};
        }
        m_map->BeginDrag(m_dragIds);
    } else if (m_pImage) {
        m_bBand = true;
        m_bandFrom = point;
    }
    m_bTicking = false;
}

void CZelvorView::OnMouseMove(Qt::KeyboardModifiers, QPoint point) {
    // Qt reports moves outside the view while a button is held; they neither report nor drag,
    // so a dragged point stays where the cursor last was inside the view.
    if (!viewport()->rect().contains(point)) {
        return;
    }
    const PointList& list = m_map->list();
    const int i = FindPointAt(point.x(), point.y());
    m_services.showStatus(
        i < 0 ? StatusText(list.count(), point.x(), point.y(), m_dZoom, nullptr, nullptr)
              : StatusText(list.count(), point.x(), point.y(), m_dZoom, &list.label(i),
                           &list.memo(i)));

    if (m_bBand) {
        if (m_band == nullptr) {
            m_band = new QRubberBand(QRubberBand::Rectangle, viewport());
        }
        m_band->setGeometry(QRect(m_bandFrom, point).normalized());
        m_band->show();
        return;
    }
    if (m_dragIds.empty()) {
        return;
    }
    if (!m_map->isDragging() || dragIndex() < 0) {
        m_dragIds.clear(); // the point went away under the drag
        return;
    }
    m_bDragMoved = true;
    // The trail: one red pixel per move, left on the surface until the next full repaint.
    if (!m_surface.isNull()) {
        QPainter painter(&m_surface);
        DrawingSurface surface(painter);
        surface.setPixel(point.x(), point.y(), RGB(255, 0, 0));
    }
    viewport()->update(QRect(point, QSize(1, 1)));

    double x = 0;
    double y = 0;
    const QPoint scroll = scrollPosition();
    ClientToPicture(point.x(), point.y(), scroll.x(), scroll.y(), m_dZoom, x, y);
    m_map->DragTo(m_dragLead, x, y);
}

void CZelvorView::OnLButtonUp(Qt::KeyboardModifiers, QPoint point) {
    const bool ctrl = m_pressKeys & Qt::ControlModifier;
    if (m_bBand) {
        m_bBand = false;
        const bool shown = m_band != nullptr && m_band->isVisible();
        if (m_band != nullptr) {
            m_band->hide();
        }
        if (shown) {
            SelectInBand(QRect(m_bandFrom, point).normalized(), ctrl);
        } else if (!ctrl) {
            m_selection.clear(); // a click on empty space
        }
    }
    if (!m_dragIds.empty()) {
        const bool several = m_dragIds.size() > 1;
        m_dragIds.clear();
        m_map->EndDrag(several ? "Move Points" : "Move Point");
        if (!m_bDragMoved) {
            // A click on a point: it alone is selected, or with Ctrl added or taken away.
            if (ctrl) {
                m_selection.toggle(m_dragLead);
            } else {
                m_selection.set({m_dragLead});
            }
        }
        RedrawWindow();
    }
    StartTimer();
}

void CZelvorView::SelectInBand(const QRect& band, bool add) {
    const QPoint scroll = scrollPosition();
    double x0 = 0;
    double y0 = 0;
    double x1 = 0;
    double y1 = 0;
    ClientToPicture(band.left(), band.top(), scroll.x(), scroll.y(), m_dZoom, x0, y0);
    ClientToPicture(band.right() + 1, band.bottom() + 1, scroll.x(), scroll.y(), m_dZoom, x1, y1);
    std::vector<PointId> inside = m_map->map().IdsInRect(x0, y0, x1, y1);
    if (add) {
        m_selection.add(inside);
    } else {
        m_selection.set(std::move(inside));
    }
}

void CZelvorView::OnLButtonDblClk(Qt::KeyboardModifiers keys, QPoint point) {
    if (!m_pImage) {
        return;
    }
    if (keys & Qt::ControlModifier) {
        OnViewZoomMinus(); // zooms in zoom mode only, like the command
        return;
    }

    RunPointDialog(FindPointAt(point.x(), point.y()), point);
}

void CZelvorView::RunPointDialog(int i, QPoint point) {
    const PointList& list = m_map->list();
    // The dialog works on copies; the point is known by its id, which no merge or other view
    // can give to another point while the dialog is open.
    const PointId id = i >= 0 ? m_map->map().idAt(i) : 0;
    PointEntry shown;
    if (i >= 0) {
        shown = {list.point(i), list.label(i), list.sinceText(i), list.memo(i)};
    } else {
        shown.rec = m_services.defaults();
    }

    if (std::optional<PointDialogResult> result = RunDialogOn(shown)) {
        PointEntry& entry = result->entry;
        if (i < 0) {
            // Where the double-click was, not where the cursor is after the dialog.
            const QPoint scroll = scrollPosition();
            ClientToPicture(point.x(), point.y(), scroll.x(), scroll.y(), m_dZoom, entry.rec.dX,
                            entry.rec.dY);
        }
        ApplyPointDialog(id, entry, result->applyToAll);
    }
    RedrawWindow();
}

void CZelvorView::ApplyPointDialog(PointId id, const PointEntry& entry, bool applyToAll) {
    // Accepted before the points arrived, the step waits for them rather than being applied to
    // the empty list their arrival replaces; it touches nothing of this view, which may go.
    m_map->WhenLoaded([map = m_map.get(), services = &m_services, id, entry, applyToAll] {
        PointMap& points = map->map();
        const bool gone = id != 0 && points.indexOf(id) < 0;
        const std::string name = applyToAll         ? "Apply to All Points"
                                 : id != 0 && !gone ? "Edit Point"
                                                    : "Add Point";
        // One step, even with "Apply to all points": a slip there is taken back at once.
        points.BeginGroup(name);
        if (applyToAll) {
            points.ApplyLook(entry.rec, {}, name);
        }
        if (id != 0 && !gone) {
            points.Edit(id, entry, name);
        } else {
            points.Add(entry, name);
        }
        points.EndGroup();
        map->Changed();
        if (gone) {
            // Removed while the dialog was open (another window, another program): kept as new.
            services->showStatus(
                tr("The point was removed meanwhile; it was added again as edited."));
        }
    });
}

void CZelvorView::OnRButtonDblClk(Qt::KeyboardModifiers keys, QPoint point) {
    if (!m_pImage) {
        return;
    }
    if (keys & Qt::ControlModifier) {
        OnViewZoomPlus(); // zooms in zoom mode only, like the command
        return;
    }

    const int i = FindPointAt(point.x(), point.y());
    if (i < 0) {
        return;
    }
    const PointId id = m_map->map().idAt(i);
    const auto answer =
        m_services.ask(this, RemovePrompt(m_map->list().label(i)), QMessageBox::Question,
                       QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer != QMessageBox::Yes) {
        return;
    }
    const PointId one[] = {id};
    m_map->Remove(one, "Remove Point");
    RedrawWindow();
}

void CZelvorView::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    if (event->button() == Qt::LeftButton) {
        OnLButtonDown(event->modifiers(), ClientPixel(event));
    }
    event->accept();
}

void CZelvorView::mouseMoveEvent(QMouseEvent* event) {
    OnMouseMove(event->modifiers(), ClientPixel(event));
    event->accept();
}

void CZelvorView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        OnLButtonUp(event->modifiers(), ClientPixel(event));
    }
    event->accept();
}

void CZelvorView::mouseDoubleClickEvent(QMouseEvent* event) {
    // Not passed on: the base class would turn the double-click into a second press.
    if (event->button() == Qt::LeftButton) {
        OnLButtonDblClk(event->modifiers(), ClientPixel(event));
    } else if (event->button() == Qt::RightButton) {
        OnRButtonDblClk(event->modifiers(), ClientPixel(event));
    }
    event->accept();
}
