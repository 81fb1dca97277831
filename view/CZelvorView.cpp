// The map view's surface, drawing, lifecycle, commands and printing. The mouse handlers are in
// ViewMouse.cpp.
#include "CZelvorView.h"

#include <QApplication>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTimerEvent>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "DocumentFrame.h"
#include "DrawingSurface.h"
#include "LargeImage.h"
#include "Picture.h"
#include "PictureNotice.h"
#include "RecoveryCopy.h"
#include "RenderLimits.h"
#include "SurfaceScroll.h"
#include "Text8.h"
#include "ViewGeometry.h"
#include "ViewNavigation.h"

namespace {

QString PathForUser(const std::string& path) {
    return FromText8(path);
}

// The reason of a failed load or save for a message that names the file itself: without the
// file name the model puts in front of it.
QString Reason(const FileResult& result, const std::string& path) {
    const std::string prefix = path + ": ";
    const bool named = result.message.compare(0, prefix.size(), prefix) == 0;
    return FromText8(named ? result.message.substr(prefix.size()) : result.message);
}

} // namespace

std::optional<PointDialogResult> CZelvorView::RunDialogOn(const PointEntry& shown) {
    // The window stays until the dialog has returned, even if it is closed meanwhile.
    const DocumentFrame::DialogScope scope(this);
    return m_services.RunPointDialog(this, shown);
}

CZelvorView::CZelvorView(AppServices& services, QWidget* parent)
    : QAbstractScrollArea(parent), m_services(services) {
    SetMap(std::make_shared<OpenMap>());
    connect(&m_selection, &PointSelection::changed, this, &CZelvorView::OnSelectionChanged);
    setFocusPolicy(Qt::StrongFocus);
    // The surface covers the whole viewport on every paint.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    // Every move reports to the status bar, with or without a button held.
    viewport()->setMouseTracking(true);
    SetScrollSizes(0, 0);
    m_navigation = new ViewNavigation(this);
}

CZelvorView::~CZelvorView() {
    // Before QWidget's destructor takes the focus away, with a focus-out event to the filters.
    delete m_navigation;
    m_map->Detach(this);
    m_map->disconnect(this);
    m_map->saver().disconnect(this);
}

void CZelvorView::SetMap(std::shared_ptr<OpenMap> map) {
    if (m_map) {
        m_map->Detach(this);
        m_map->disconnect(this);
        m_map->saver().disconnect(this);
    }
    m_map = std::move(map);
    m_selection.clear();
    m_seenRemovals = m_map->map().removals();
    MapSaver* saver = &m_map->saver();
    connect(saver, &MapSaver::listReplaced, this, &CZelvorView::RedrawWindow);
    connect(saver, &MapSaver::keptAside, this, [this](const QString& path, bool unreadable) {
        if (m_map->isPrimary(this)) {
            OnMapKeptAside(path, unreadable);
        }
    });
    connect(saver, &MapSaver::stateChanged, this, [this, saver] {
        if (!saver->problem().isEmpty() && m_map->isPrimary(this)) {
            m_services.showStatus(tr("The points are not saved: %1").arg(saver->problem()));
        }
    });
    connect(m_map.get(), &OpenMap::pointsChanged, this, &CZelvorView::OnPointsChanged);
    // Points read in the background: the view that reports for the map tells a failed read.
    connect(m_map.get(), &OpenMap::loaded, this, [this] {
        if (m_map->isPrimary(this)) {
            ReportMapLoad();
        }
    });
    connect(m_map.get(), &OpenMap::message, this, [this](const QString& text) {
        if (m_map->isPrimary(this)) {
            m_services.showStatus(text);
        }
    });
}

int CZelvorView::dragIndex() const {
    return m_dragIds.empty() ? -1 : m_map->map().indexOf(m_dragLead);
}

QPoint CZelvorView::scrollPosition() const {
    return QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()) -
           CentringOffset();
}

void CZelvorView::OnInitialUpdate(const std::string& path, const std::string& fileName) {
    SetScrollSizes(0, 0);
    m_strPath = path;
    m_strFileName = fileName;
    if (m_strPath.empty()) {
        RedrawWindow();
        return;
    }
    // Fit mode needs no more than the window's width in device pixels at first.
    const int fitWidth = static_cast<int>(std::ceil(width() * devicePixelRatioF()));
    if (m_services.openInBackground()) {
        // The blank view says what it is waiting for and answers input meanwhile.
        const bool started = m_opening.start(
            [path = FromText8(m_strPath), fitWidth,
             opener = m_services.tileOpener()](const std::atomic<bool>& cancelled) {
                OpenedPicture opened;
                opened.picture =
                    Picture::Load(path, fitWidth, 0, &opened.failure, &cancelled, opener);
                return opened;
            },
            [this](OpenedPicture opened) {
                PictureOpened(std::move(opened.picture), opened.failure);
            });
        if (started) {
            m_notice = PictureNotice::LoadingText(FromText8(m_strFileName));
            RedrawWindow();
            return;
        }
    }
    PictureFailure failure;
    std::unique_ptr<Picture> picture = Picture::Load(FromText8(m_strPath), fitWidth, 0, &failure,
                                                     nullptr, m_services.tileOpener());
    PictureOpened(std::move(picture), failure);
}

void CZelvorView::PictureOpened(std::unique_ptr<Picture> picture, const PictureFailure& failure) {
    m_notice.clear();
    m_pImage = std::move(picture);
    if (!m_pImage) {
        m_notice = PictureNotice::Text(FromText8(m_strFileName), failure);
        RedrawWindow();
        return;
    }
    // Full pixels (1:1, a wider window) decode in the background; their arrival repaints.
    m_pImage->setFullPixelsHandler([this] { RedrawWindow(); });
    // Tiles arriving redraw only the part they sharpen.
    m_pImage->setSharperHandler([this](const QRect& part) { RepaintPicturePart(part); });

    m_dZoom = 1.0;
    m_strMapPath = MapPathFor(m_services.baseDir(), m_strFileName);
    const bool firstView = !m_map->isLoadStarted();
    if (m_services.openInBackground() || m_map->isLoadStarted()) {
        // The picture shows without points until they arrive; a read already begun (by another
        // view of the map) is shared, never waited for.
        m_map->LoadInBackground(m_strMapPath);
    } else {
        m_map->EnsureLoaded(m_strMapPath);
    }
    m_map->Attach(this);
    StartTimer();
    UpdateScrollSizes();
    RedrawWindow();
    if (firstView && m_map->isLoaded()) {
        ReportMapLoad();
    }
}

void CZelvorView::ReportMapLoad() {
    const FileResult& load = m_map->loadResult();
    if (load.status != FileResult::Failed) {
        return;
    }
    m_services.ask(this,
                   tr("The map file \"%1\" was not loaded:\n%2\n\n"
                      "The picture is shown without points, and the file is left as it "
                      "is. If you add points, it is kept under a name ending in \".bad\" "
                      "before they are saved.")
                       .arg(PathForUser(m_strMapPath), Reason(load, m_strMapPath)),
                   QMessageBox::Warning, QMessageBox::Ok);
}

bool CZelvorView::CloseMap() {
    const bool closed = SaveMapAtClose(false);
    if (closed) {
        m_map->setSettled();
    }
    return closed;
}

bool CZelvorView::SaveMapAtClose(bool quiet) {
    if (m_map->hasWaitingSteps()) {
        m_map->FinishLoading(); // steps made before the points arrived are saved with them
    }
    for (;;) {
        // Waits for a background save; keeps an unreadable map aside (".bad") before the first
        // write, and another writer's version (".conflict") when it cannot be merged.
        const FileResult result = m_map->saver().SaveNow();
        if (result.ok()) {
            return true;
        }
        // Nobody is there to answer (the window is going, or the program was asked to end):
        // the points go to a recovery copy, and an asked end goes on.
        if (quiet || m_services.quitRequested()) {
            KeepRecoveryCopy(result);
            return m_services.quitRequested();
        }
        const QString what = tr("The points could not be saved to the map file \"%1\":\n%2")
                                 .arg(PathForUser(m_strMapPath), Reason(result, m_strMapPath));
        const auto answer = m_services.ask(
            this,
            what + tr("\n\nRetry to try again, Discard to close without saving the points, "
                      "or Cancel to keep the window open."),
            QMessageBox::Warning, QMessageBox::Retry | QMessageBox::Discard | QMessageBox::Cancel,
            QMessageBox::Retry);
        if (m_services.quitRequested()) { // the question was ended by a request to quit
            KeepRecoveryCopy(result);
            return true;
        }
        if (answer != QMessageBox::Retry) {
            return answer == QMessageBox::Discard;
        }
    }
}

void CZelvorView::KeepRecoveryCopy(const FileResult& failure) {
    std::string copy;
    const FileResult kept = WriteRecoveryCopy(m_strMapPath, m_map->list(), copy);
    // Standard error is where a program ending without a window can still be heard.
    if (kept.ok()) {
        std::fprintf(stderr, "zelvor: %s\nzelvor: the points were kept as %s\n",
                     failure.message.c_str(), copy.c_str());
    } else {
        std::fprintf(stderr, "zelvor: %s\nzelvor: no recovery copy could be written either: %s\n",
                     failure.message.c_str(), kept.message.c_str());
    }
    std::fflush(stderr);
}

void CZelvorView::OnMapKeptAside(const QString& path, bool unreadable) {
    if (unreadable) {
        m_services.showStatus(
            tr("The map file that could not be read was kept as \"%1\".").arg(path));
        return;
    }
    const QString text = tr("The map file was changed by another window or program while these "
                            "points were being edited, and the changes could not be combined. "
                            "Its version was kept as \"%1\"; the map file holds the points of "
                            "this window.")
                             .arg(path);
    m_services.showStatus(text);
    // One notice per window, updated rather than stacked; it does not block the work.
    if (!m_keptAsideNotice) {
        m_keptAsideNotice =
            new QMessageBox(QMessageBox::Information, tr("Zelvor"), text, QMessageBox::Ok, this);
        m_keptAsideNotice->setAttribute(Qt::WA_DeleteOnClose);
        m_keptAsideNotice->setWindowModality(Qt::NonModal);
    } else {
        m_keptAsideNotice->setText(text);
    }
    m_keptAsideNotice->show();
}

void CZelvorView::StartTimer() {
    m_bTicking = true;
}

void CZelvorView::SetScrollSizes(int extentW, int extentH) {
    const QSize page = viewport()->size();
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    h->setPageStep(std::max(1, page.width()));
    h->setSingleStep(std::max(1, page.width() / 10));
    v->setPageStep(std::max(1, page.height()));
    v->setSingleStep(std::max(1, page.height() / 10));
    h->setRange(0, std::max(0, extentW - page.width()));
    v->setRange(0, std::max(0, extentH - page.height()));
}

void CZelvorView::RedrawWindow() {
    m_bRepaintPending = false;
    ++m_nFullRepaints;
    const qreal dpr = viewport()->devicePixelRatioF();
    const QSize size = (QSizeF(viewport()->size()) * dpr).toSize();
    if (m_surface.size() != size || m_surface.devicePixelRatio() != dpr) {
        m_surface = LargeImage::Make(size, QImage::Format_RGB32);
        m_surface.setDevicePixelRatio(dpr);
    }
    m_surfaceZoom = m_dZoom;
    if (!m_surface.isNull()) {
        m_surface.fill(viewport()->palette().color(QPalette::Base));
        QPainter painter(&m_surface);
        DrawingSurface surface(painter);
        OnDraw(surface);
    }
    m_renderer.invalidate();
    viewport()->update();
}

void CZelvorView::OnDraw(DrawingSurface& surface) {
    QPainter& painter = surface.painter();
    const QRect window(QPoint(0, 0), viewport()->size());
    if (!m_pImage) {
        if (!m_notice.isEmpty()) {
            PictureNotice::Paint(painter, window, m_notice);
        }
        return;
    }
    PagePainter(ScreenPage()).paintPicture(painter, *m_pImage);
    if (m_pImage->isTruncated()) {
        PictureNotice::PaintBanner(painter, window,
                                   PictureNotice::TruncatedText(FromText8(m_strFileName)));
    }
}

PageOptions CZelvorView::ScreenPage() const {
    PageOptions page;
    page.zoom = m_dZoom;
    page.drawn = QSize(m_drawn.w, m_drawn.h);
    page.scroll = scrollPosition();
    page.visible = viewport()->size();
    page.showTexts = m_bShowTexts;
    page.now = m_services.now();
    return page;
}

void CZelvorView::UpdateScrollSizes() {
    if (!m_pImage) {
        return; // a view without a picture keeps the sizes it was given
    }
    double zoom = m_dZoom;
    m_drawn = DrawnPictureSize(zoom);
    m_dZoom = zoom;
    const DrawnSize extent = ScrollExtent(m_drawn);
    SetScrollSizes(extent.w, extent.h);
}

int CZelvorView::FindPointAt(int x, int y) const {
    const QPoint scroll = scrollPosition();
    return ::FindPointAt(m_map->list(), x, y, scroll.x(), scroll.y(), m_dZoom);
}

void CZelvorView::TickPoints(bool advancePhases) {
    if (m_bRepaintPending) {
        RedrawWindow();
    }
    if (m_surface.isNull()) {
        return;
    }
    RenderContext ctx = PagePainter(ScreenPage()).pointContext();
    ctx.advancePhases = advancePhases;
    QRegion changed;
    {
        QPainter painter(&m_surface);
        DrawingSurface surface(painter);
        changed = m_renderer.Tick(surface, m_map->map().phaseList(), ctx);
    }
    changed += DrawSelectionMarks(changed);
    viewport()->update(changed);
}

void CZelvorView::OnViewFullSize() {
    ToggleFullSize(m_bZoomMode, m_dZoom);
    m_bFitPicture = false;
    UpdateScrollSizes();
    RedrawWindow();
}

void CZelvorView::OnViewShowTexts() {
    m_bShowTexts = !m_bShowTexts;
    RedrawWindow();
}

void CZelvorView::PrintPage(QPaintDevice* page) {
    QPainter painter;
    if (page == nullptr || !painter.begin(page)) {
        return;
    }
    PrintPage(painter, logicalDpiX(), logicalDpiY(), page->logicalDpiX(), page->logicalDpiY());
    painter.end();
}

void CZelvorView::PrintPage(QPainter& painter, double displayDpiX, double displayDpiY,
                            double deviceDpiX, double deviceDpiY) {
    if (!m_pImage) {
        return; // without a picture the page stays empty
    }
    PageOptions page = ScreenPage();
    page.medium = PageOptions::Medium::Paper;
    page.displayDpiX = displayDpiX;
    page.displayDpiY = displayDpiY;
    page.deviceDpiX = deviceDpiX;
    page.deviceDpiY = deviceDpiY;
    painter.save();
    DrawingSurface surface(painter);
    PagePainter(page).paintPage(surface, *m_pImage, m_renderer, m_map->map().phaseList());
    painter.restore();
}

void CZelvorView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect r = event->rect();
    const qreal dpr = m_surface.devicePixelRatio();
    if (m_surface.size() != (QSizeF(viewport()->size()) * dpr).toSize()) {
        painter.fillRect(r, viewport()->palette().color(QPalette::Base));
    }
    painter.drawImage(r, m_surface,
                      QRectF(r.x() * dpr, r.y() * dpr, r.width() * dpr, r.height() * dpr));
}

void CZelvorView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    // The area's own resize is followed by its viewport's; the surface follows the viewport.
    if (event->size() == viewport()->size()) {
        UpdateScrollSizes();
        RedrawWindow();
    }
}

void CZelvorView::RepaintPicturePart(const QRect& pictureRect) {
    if (!m_pImage || m_surface.isNull() || pictureRect.isEmpty()) {
        return;
    }
    const DrawnSize drawn = m_drawn;
    const QPoint scroll = scrollPosition();
    const double sx = double(drawn.w) / std::max(1, m_pImage->width());
    const double sy = double(drawn.h) / std::max(1, m_pImage->height());
    // Client pixels, widened by one for the scaled drawing's rounding and interpolation.
    const auto client = [](double v) {
        return int(std::clamp(v, -double(kFarCoordinate), double(kFarCoordinate)));
    };
    const QRect part = QRect(QPoint(client(std::floor(pictureRect.left() * sx)) - scroll.x() - 1,
                                    client(std::floor(pictureRect.top() * sy)) - scroll.y() - 1),
                             QPoint(client(std::ceil((pictureRect.right() + 1) * sx)) - scroll.x(),
                                    client(std::ceil((pictureRect.bottom() + 1) * sy)) -
                                        scroll.y())) &
                       QRect(QPoint(0, 0), viewport()->size());
    if (part.isEmpty()) {
        return;
    }
    {
        QPainter painter(&m_surface);
        painter.setClipRect(part);
        painter.fillRect(part, viewport()->palette().color(QPalette::Base));
        DrawingSurface surface(painter);
        OnDraw(surface);
    }
    // The points go over the new pixels at once, as they stand (a full drawing of them).
    m_renderer.invalidate();
    if (m_bTicking) {
        TickPoints(false);
    }
    viewport()->update(part);
}

void CZelvorView::scrollContentsBy(int dx, int dy) {
    if (m_surfaceZoom != m_dZoom) {
        return; // the surface shows another zoom; the full repaint that follows draws this one
    }
    if (m_surface.isNull()) {
        RedrawWindow();
        return;
    }
    // The pixels move with the picture, points included; only the strip that comes into view
    // is drawn, picture only. The next tick repaints the points as usual.
    const QRegion exposed = ScrollSurfacePixels(m_surface, dx, dy);
    m_renderer.invalidate();
    if (!exposed.isEmpty()) {
        QPainter painter(&m_surface);
        painter.setClipRegion(exposed);
        painter.fillRect(exposed.boundingRect(), viewport()->palette().color(QPalette::Base));
        DrawingSurface surface(painter);
        OnDraw(surface);
    }
    viewport()->update();
}
