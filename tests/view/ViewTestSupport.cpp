#include "ViewTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QTest>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "Clock.h"
#include "Globals.h"
#include "MessageBox.h"
#include "StatusPane.h"

void ViewTest::SetUp() {
    ASSERT_TRUE(m_dir.isValid());
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("MAPS"));
    g_strBaseDir = base();
    m_defaults = FactoryDefaults();
    g_pDefaults = &m_defaults;
    g_bApplyToAll = false;
    Clock::SetSource([this] { return m_now; });
    StatusPane::SetSink([this](const QString& text) { m_status << text; });
    MessageBox::SetAnswerer([this](const QString& text) {
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
    CZelvorView::SetPointDialogRunner([this](QWidget*, PointRecord& rec, std::string& label,
                                             std::string& sinceText, std::string& memo) {
        m_dialogCalls.push_back({rec, label, sinceText, memo});
        if (m_dialogEdit) {
            m_dialogEdit(rec, label, sinceText, memo);
        }
        return m_dialogOk;
    });
}

void ViewTest::TearDown() {
    CZelvorView::SetPointDialogRunner({});
    MessageBox::SetAnswerer({});
    StatusPane::SetSink({});
    Clock::SetSource({});
    g_pDefaults = nullptr;
    g_bApplyToAll = false;
    g_strBaseDir.clear();
}

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
                                             std::shared_ptr<OpenMap> map) {
    auto view = std::make_unique<TestView>();
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
