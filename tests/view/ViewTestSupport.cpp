#include "ViewTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QTest>

#include <cstdlib>
#include <fstream>
#include <sstream>

void ViewTest::SetUp() {
    ASSERT_TRUE(m_dir.isValid());
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("MAPS"));
    m_services = makeServices(base());
}

std::unique_ptr<AppServices> ViewTest::makeServices(const std::string& baseDir) {
    auto services = std::make_unique<AppServices>(baseDir);
    services->setClock([this] { return m_now; });
    services->setStatusSink([this](const QString& text) { m_status << text; });
    services->setAsker([this](QWidget*, const QString& text, QMessageBox::Icon,
                              QMessageBox::StandardButtons, QMessageBox::StandardButton) {
        m_messages << text;
        if (m_onMessage) {
            m_onMessage();
        }
        if (m_answers.empty()) {
            return QMessageBox::Ok;
        }
        const auto answer = m_answers.front();
        m_answers.erase(m_answers.begin());
        return answer;
    });
    services->setPointDialogRunner(
        [this](QWidget*, const PointEntry& shown) -> std::optional<PointDialogResult> {
            m_dialogCalls.push_back({shown.rec, shown.label, shown.sinceText, shown.memo});
            PointDialogResult result{shown, false, m_dialogApplyToAll};
            PointEntry& e = result.entry;
            if (m_dialogEdit) {
                m_dialogEdit(e.rec, e.label, e.sinceText, e.memo);
            }
            if (!m_dialogOk) {
                return std::nullopt;
            }
            return result;
        });
    return services;
}

void ViewTest::TearDown() {}

std::string ViewTest::writePicture(const std::string& name, int w, int h, QColor color) const {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(color);
    const std::string path = base() + "/" + name;
    EXPECT_TRUE(img.save(QString::fromStdString(path), "PNG"));
    return path;
}

std::string ViewTest::writeFile(const std::string& path, const std::string& bytes) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(out.good());
    return path;
}

std::string ViewTest::readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool ViewTest::exists(const std::string& path) {
    return QFile::exists(QString::fromStdString(path));
}

std::unique_ptr<TestView> ViewTest::openView(const std::string& pictureName, int w, int h,
                                             std::shared_ptr<OpenMap> map, AppServices* services) {
    auto view = std::make_unique<TestView>(services != nullptr ? *services : this->services());
    if (map) {
        view->SetMap(std::move(map));
    }
    view->resize(w, h);
    view->show();
    QApplication::processEvents();
    const std::string path = pictureName.empty() ? std::string() : base() + "/" + pictureName;
    view->OnInitialUpdate(path, pictureName);
    QApplication::processEvents();
    return view;
}

PointRecord ViewTest::makePoint(double x, double y, COLORREF rectColor) {
    PointRecord rec = FactoryDefaults();
    rec.bShowRect = 1;
    rec.nRectSize = 4;
    rec.bShowCross = 1;
    rec.nCrossSize = 3;
    rec.crRect = rectColor;
    rec.dX = x;
    rec.dY = y;
    return rec;
}

void DoubleClick(CZelvorView& view, Qt::MouseButton button, QPoint pos,
                 Qt::KeyboardModifiers keys) {
    QWidget* vp = view.viewport();
    QTest::mousePress(vp, button, keys, pos);
    QTest::mouseRelease(vp, button, keys, pos);
    QTest::mouseDClick(vp, button, keys, pos);
    QTest::mouseRelease(vp, button, keys, pos);
}

void HoverTo(CZelvorView& view, QPoint pos) {
    // A move with no button held, as the window system delivers it under mouse tracking.
    QWidget* vp = view.viewport();
    QMouseEvent move(QEvent::MouseMove, QPointF(pos), QPointF(vp->mapToGlobal(pos)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &move);
}

COLORREF SurfacePixel(const CZelvorView& view, int x, int y) {
    const QRgb p = view.surfaceImage().pixel(x, y);
    return RGB(static_cast<std::uint8_t>(qRed(p)), static_cast<std::uint8_t>(qGreen(p)),
               static_cast<std::uint8_t>(qBlue(p)));
}

bool Near(COLORREF c, COLORREF expected, int tol) {
    return std::abs(GetRValue(c) - GetRValue(expected)) <= tol &&
           std::abs(GetGValue(c) - GetGValue(expected)) <= tol &&
           std::abs(GetBValue(c) - GetBValue(expected)) <= tol;
}
