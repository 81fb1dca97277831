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

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "DocumentFrame.h"
#include "DrawingSurface.h"
#include "Globals.h"
#include "MessageBox.h"
#include "StatusPane.h"
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
    char digits[400]; // a fixed-notation double has at most 309 integer digits
    const auto end =
        std::to_chars(digits, digits + sizeof digits, zoom, std::chars_format::fixed, 2).ptr;
    std::string text(digits, end);
    if (text.size() < 5) {
        text.insert(0, 5 - text.size(), ' ');
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

void CZelvorView::OnLButtonDown(Qt::KeyboardModifiers, QPoint point) {
    m_nDragIndex = FindPointAt(point.x(), point.y());
    m_timer.stop();
}

void CZelvorView::OnMouseMove(Qt::KeyboardModifiers, QPoint point) {
    // Qt reports moves outside the view while a button is held; they neither report nor drag,
    // so a dragged point stays where the cursor last was inside the view.
    if (!viewport()->rect().contains(point)) {
        return;
    }
    const int i = FindPointAt(point.x(), point.y());
    StatusPane::SetText(
        i < 0 ? StatusText(m_list.count(), point.x(), point.y(), m_dZoom, nullptr, nullptr)
              : StatusText(m_list.count(), point.x(), point.y(), m_dZoom, &m_list.label(i),
                           &m_list.memo(i)));

    if (m_nDragIndex < 0) {
        return;
    }
    if (m_nDragIndex >= m_list.count()) {
        m_nDragIndex = -1; // the point went away under the drag
        return;
    }
    // The trail: one red pixel per move, left on the surface until the next full repaint.
    if (!m_surface.isNull()) {
        QPainter painter(&m_surface);
        DrawingSurface surface(painter);
        surface.setPixel(point.x(), point.y(), RGB(255, 0, 0));
    }
    viewport()->update(QRect(point, QSize(1, 1)));

    PointRecord& rec = m_list.point(m_nDragIndex);
    const QPoint scroll = scrollPosition();
    ClientToPicture(point.x(), point.y(), scroll.x(), scroll.y(), m_dZoom, rec.dX, rec.dY);
    ListChanged();
}

void CZelvorView::OnLButtonUp(Qt::KeyboardModifiers, QPoint) {
    if (m_nDragIndex >= 0) {
        m_nDragIndex = -1;
        RedrawWindow();
    }
    StartTimer();
}

void CZelvorView::OnLButtonDblClk(Qt::KeyboardModifiers keys, QPoint point) {
    if (!m_pImage) {
        return;
    }
    if (keys & Qt::ControlModifier) {
        OnViewZoomMinus(); // zooms in zoom mode only, like the command
        return;
    }

    const int i = FindPointAt(point.x(), point.y());
    PointRecord rec{};
    std::string label;
    std::string sinceText;
    std::string memo;
    if (i >= 0) {
        rec = m_list.point(i);
        label = m_list.label(i);
        sinceText = m_list.sinceText(i);
        memo = m_list.memo(i);
    } else {
        rec = g_pDefaults != nullptr ? *g_pDefaults : FactoryDefaults();
    }

    const PointDialogRunner runner = InstalledRunner(); // a copy: the runner may replace itself
    bool accepted = false;
    if (runner) {
        // The window stays until the dialog has returned, even if it is closed meanwhile.
        const DocumentFrame::DialogScope scope(this);
        accepted = runner(this, rec, label, sinceText, memo);
    }
    if (accepted) {
        if (g_bApplyToAll) {
            m_list.ApplyToAllPoints(rec);
            g_bApplyToAll = false;
        }
        if (i >= 0) {
            m_list.SetPoint(i, rec, label, sinceText, memo);
        } else {
            // Where the double-click was, not where the cursor is after the dialog.
            const QPoint scroll = scrollPosition();
            ClientToPicture(point.x(), point.y(), scroll.x(), scroll.y(), m_dZoom, rec.dX, rec.dY);
            m_list.AddPoint(rec, label, sinceText, memo);
        }
        ListChanged();
    }
    RedrawWindow();
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
    const auto answer = MessageBox::Show(this, RemovePrompt(m_list.label(i)), QMessageBox::Question,
                                         QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer != QMessageBox::Yes) {
        return;
    }
    m_list.RemovePoint(i);
    if (m_nDragIndex == i) {
        m_nDragIndex = -1;
    } else if (m_nDragIndex > i) {
        --m_nDragIndex;
    }
    ListChanged();
    RedrawWindow();
}

void CZelvorView::mousePressEvent(QMouseEvent* event) {
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
