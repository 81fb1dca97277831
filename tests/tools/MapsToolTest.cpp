#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QScreen>

#include <cmath>
#include <cstring>

#include "AppServices.h"
#include "CZelvorView.h"
#include "DateTimeText.h"
#include "MapFiles.h"
#include "SinceTime.h"
#include "ToolTestSupport.h"

namespace {

SYSTEMTIME At(const char* text) {
    SYSTEMTIME st{};
    EXPECT_TRUE(ParseDateTime(text, st)) << text;
    return st;
}

PointRecord Point(double x, double y) {
    PointRecord rec = FactoryDefaults();
    rec.dX = x;
    rec.dY = y;
    return rec;
}

PointRecord SincePoint(double x, double y, const char* since) {
    PointRecord rec = Point(x, y);
    rec.bSinceDate = 1;
    rec.stSince = At(since);
    return rec;
}

class TickableView : public CZelvorView {
public:
    using CZelvorView::CZelvorView;
    using CZelvorView::OnTimer;
};

} // namespace

TEST_F(ToolTest, ImportedTextsListUnchangedInCsvAndJsonAndListingsImportBack) {
    PointRecord look = FactoryDefaults();
    look.crText = RGB(1, 2, 3);
    std::strcpy(look.lfText.lfFaceName, "Tahoma");
    ASSERT_TRUE(SaveDefaultsFile(base().toStdString() + "/Defaults.map", look).ok());
    // Columns named in another order; texts with line breaks, quotes, commas, non-ASCII.
    write("a.csv", "memo,label,y,x,since,since_text\r\n"
                   "\"two\nlines, \"\"quoted\"\"\",K\xc3\xbc"
                   "che \xe2\x98\x95,0.1,1e3,"
                   "2026-01-02 03:04,\xc3\x9c"
                   "berf\xc3\xa4llig\r\n"
                   ",plain,5,7.25,,\r\n");
    // No header, Windows-1252 bytes.
    write("b.csv", "12,34,Caf\xe9 \x80,na\xefve,\n");
    // A map written elsewhere with Windows-1252 texts.
    PointList windows;
    PointRecord stored = look;
    stored.dX = 3.5;
    stored.dY = 4;
    windows.AddPoint(stored,
                     "Stra\xdf"
                     "e",
                     "", "\x93quoted\x94");
    saveMap("plan", windows);
    ASSERT_EQ(run({"import", "plan.png", "a.csv"}).status, 0);
    ASSERT_EQ(run({"import", "plan.png", "b.csv"}).status, 0);

    struct Expected {
        QString x, y, label, memo, since, sinceText;
    };
    const std::vector<Expected> expected = {
        {"3.5", "4", u"Straße"_qs, u"“quoted”"_qs, "", ""},
        {"1000", "0.1", u"Küche ☕"_qs, "two\nlines, \"quoted\"", "2026-01-02 03:04:00",
         u"Überfällig"_qs},
        {"7.25", "5", "plain", "", "", ""},
        {"12", "34", u"Café €"_qs, u"naïve"_qs, "", ""},
    };
    const ToolRun csv = run({"list", "--format", "csv", "plan.png"});
    ASSERT_EQ(csv.status, 0) << csv.err.toStdString();
    const auto rows = CsvRows(csv.out);
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Expected& e = expected[i];
        EXPECT_EQ(rows[i]["x"], e.x);
        EXPECT_EQ(rows[i]["y"], e.y);
        EXPECT_EQ(rows[i]["label"], e.label);
        EXPECT_EQ(rows[i]["memo"], e.memo);
        EXPECT_EQ(rows[i]["since"], e.since);
        EXPECT_EQ(rows[i]["since_text"], e.sinceText);
        EXPECT_EQ(rows[i]["text_colour"], "#010203");
        EXPECT_EQ(rows[i]["font"], "Tahoma");
    }

    const ToolRun json = run({"list", "--format", "json", "plan.png"});
    ASSERT_EQ(json.status, 0);
    QJsonParseError error{};
    const QJsonObject doc = QJsonDocument::fromJson(json.out, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out.toStdString();
    EXPECT_EQ(doc["version"].toInt(), 1);
    const QJsonArray points = doc["points"].toArray();
    ASSERT_EQ(points.size(), qsizetype(expected.size()));
    for (qsizetype i = 0; i < points.size(); ++i) {
        const QJsonObject p = points[i].toObject();
        const Expected& e = expected[static_cast<std::size_t>(i)];
        EXPECT_EQ(p["x"].toDouble(), e.x.toDouble());
        EXPECT_EQ(p["label"].toString(), e.label);
        EXPECT_EQ(p["memo"].toString(), e.memo);
        EXPECT_EQ(p["since"].isNull(), e.since.isEmpty());
        EXPECT_EQ(p["since_text"].toString(), e.sinceText);
    }

    // A listing imports back into the same points.
    write("copy.csv", csv.out);
    write("copy.png", "");
    ASSERT_EQ(run({"import", "--replace", "copy.png", "copy.csv"}).status, 0);
    const auto copied = CsvRows(run({"list", "--format", "csv", "copy.png"}).out);
    ASSERT_EQ(copied.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto original = rows[i];
        auto copy = copied[i];
        original.remove("map");
        copy.remove("map");
        EXPECT_EQ(copy, original) << "row " << i;
    }
}

TEST_F(ToolTest, RenderPaintsWhatTheWindowShowsAfterOneTickAndKeepsTheMap) {
    QImage picture(400, 300, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            picture.setPixel(x, y, qRgb(x * 255 / 400, y * 255 / 300, (x ^ y) & 0xFF));
        }
    }
    ASSERT_TRUE(picture.save(base() + "/scene.png"));

    // Every kind of point: bare label, square, cross, both, a since text shown, one flashing
    // from its stored phases, one not yet due, an italic one running off the edge, no label.
    PointList list;
    PointRecord bare = Point(20, 20);
    bare.bShowCross = 0;
    list.AddPoint(bare, "Plain", "", "");
    PointRecord square = Point(100, 40);
    square.bShowCross = 0;
    square.bShowRect = 1;
    square.nRectSize = 6;
    square.crRect = RGB(220, 0, 0);
    list.AddPoint(square, "Sq", "", "");
    list.AddPoint(Point(200, 60), "Cross", "", "");
    PointRecord both = square;
    both.bShowCross = 1;
    both.nCrossSize = 10;
    both.dX = 60;
    both.dY = 120;
    list.AddPoint(both,
                  "K\xc3\xbc"
                  "che",
                  "", "memo");
    list.AddPoint(SincePoint(150, 150, "2026-01-01 00:00"), "Old", "Due!", "");
    PointRecord flashing = SincePoint(250, 180, "2026-01-01 00:00");
    flashing.bShowRect = 1;
    flashing.nRectSize = 5;
    flashing.bFlashText = 1;
    flashing.bFlashRect = 1;
    flashing.bTextPhase = 1;
    list.AddPoint(flashing, "Flash", "Now!", "");
    PointRecord later = SincePoint(300, 100, "2030-01-01 00:00");
    later.bFlashText = 1;
    list.AddPoint(later, "Later", "Not yet", "");
    PointRecord italic = Point(380, 250);
    italic.lfText.lfItalic = 1;
    italic.lfText.lfWeight = 700;
    italic.lfText.lfHeight = 22;
    list.AddPoint(italic, "Italic running off", "", "");
    list.AddPoint(Point(10, 280), "", "", "");
    saveMap("scene", list);
    const QByteArray mapBytes = read("MAPS/scene.map");

    const QStringList at = {"--width", "300", "--at", "2026-06-01 12:00"};
    ASSERT_EQ(run(QStringList{"render", "scene.png", "points.png"} + at).status, 0);
    ASSERT_EQ(run(QStringList{"render", "--no-points", "scene.png", "bare.png"} + at).status, 0);
    ASSERT_EQ(run(QStringList{"render", "scene.png", "page.pdf"} + at).status, 0);
    EXPECT_EQ(read("MAPS/scene.map"), mapBytes) << "render wrote the advanced phases";
    // The page: one, of the drawn picture's physical size on the screen (in whole points).
    const QByteArray pdf = read("page.pdf");
    const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchX();
    int pages = 0;
    for (auto it = QRegularExpression(QStringLiteral("/Type\\s*/Page(?!s)"))
                       .globalMatch(QString::fromLatin1(pdf));
         it.hasNext(); it.next()) {
        ++pages;
    }
    EXPECT_EQ(pages, 1);
    EXPECT_TRUE(pdf.contains(QStringLiteral("/MediaBox [0 0 %1 %2]")
                                 .arg(std::ceil(300 * 72 / dpi), 0, 'f', 6)
                                 .arg(std::ceil(225 * 72 / dpi), 0, 'f', 6)
                                 .toLatin1()))
        << pdf.left(2000).toStdString();
    const QImage rendered = QImage(base() + "/points.png").convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(rendered.size(), QSize(300, 225));
    EXPECT_NE(rendered, QImage(base() + "/bare.png").convertToFormat(QImage::Format_RGB32));

    // The window: fitted to the same width, a full repaint, then one tick at the same time.
    AppServices services(base().toStdString());
    const std::int64_t now = SinceInstant(At("2026-06-01 12:00"));
    services.setClock([now] { return now; });
    {
        TickableView view(services);
        view.resize(300, 400);
        view.show();
        QApplication::processEvents();
        view.OnInitialUpdate(base().toStdString() + "/scene.png", "scene.png");
        view.OnTimer();
        const QImage& surface = view.surfaceImage();
        const QRect common = surface.rect() & rendered.rect();
        ASSERT_GE(common.width(), 290);
        ASSERT_EQ(common.height(), 225);
        int differing = 0;
        for (int y = 0; y < common.height(); ++y) {
            for (int x = 0; x < common.width(); ++x) {
                differing += surface.pixel(x, y) != rendered.pixel(x, y);
            }
        }
        EXPECT_EQ(differing, 0);
    }
}

TEST_F(ToolTest, DueListsPassedSinceDatesOldestFirstUpToBefore) {
    PointList a;
    a.AddPoint(SincePoint(1, 1, "2026-02-01 00:00"), "a0", "s-a0", "");
    PointRecord off = SincePoint(1, 1, "2000-01-01 00:00");
    off.bSinceDate = 0;
    a.AddPoint(off, "a1", "", "");
    a.AddPoint(SincePoint(1, 1, "2026-01-15 08:30"), "a2", "s-a2", "");
    a.AddPoint(SincePoint(1, 1, "2026-06-01 00:00"), "a3", "s-a3", "");
    PointList b;
    b.AddPoint(SincePoint(1, 1, "2026-02-01 00:00"), "b0", "s-b0", "");
    b.AddPoint(SincePoint(1, 1, "2025-12-31 23:59"), "b1", "s-b1", "");
    saveMap("b", b);
    saveMap("a", a);

    const auto labels = [this](const char* before) {
        const ToolRun due = run({"due", "--format", "csv", "--before", before});
        EXPECT_EQ(due.status, 0) << due.err.toStdString();
        QStringList seen;
        for (const auto& row : CsvRows(due.out)) {
            seen << row["label"];
            EXPECT_EQ(row["since_text"], "s-" + row["label"]);
        }
        return seen;
    };
    EXPECT_EQ(labels("2026-03-01 12:00"), QStringList({"b1", "a2", "a0", "b0"}));
    EXPECT_EQ(labels("2026-07-01"), QStringList({"b1", "a2", "a0", "b0", "a3"}));
    EXPECT_EQ(labels("2025-01-01"), QStringList());
}

// The tool converts as the viewer does: old dates sort before 1970, and around a daylight-saving
// change "due before" a time lists exactly the points whose first moment on the clock is
// earlier.
TEST_F(ToolTest, DueSortsOldDatesFirstAndStaysInOrderAcrossDaylightSavingChanges) {
    PointList list;
    list.AddPoint(SincePoint(1, 1, "2026-10-25 02:30"), "fold 02:30", "", "");
    list.AddPoint(SincePoint(1, 1, "2026-03-29 02:30"), "gap 02:30", "", "");
    list.AddPoint(SincePoint(1, 1, "1969-07-20 20:17"), "1969", "", "");
    list.AddPoint(SincePoint(1, 1, "1850-01-01 00:00"), "1850", "", "");
    list.AddPoint(SincePoint(1, 1, "1601-01-01"), "1601", "", "");
    saveMap("plan", list);
    const auto labels = [this](const char* before) {
        const ToolRun due = runShell(QStringLiteral("TZ=Europe/Berlin $TOOL due --format csv "
                                                    "--before '%1'")
                                         .arg(QLatin1String(before)));
        EXPECT_EQ(due.status, 0) << due.err.toStdString();
        QStringList seen;
        for (const auto& row : CsvRows(due.out)) {
            seen << row["label"];
        }
        return seen;
    };
    const QStringList old = {"1601", "1850", "1969"};
    EXPECT_EQ(labels("2026-03-29 02:00"), old); // the gap: 02:00 is the change itself
    EXPECT_EQ(labels("2026-03-29 03:01"), old + QStringList{"gap 02:30"});
    EXPECT_EQ(labels("2026-10-25 02:00"), old + QStringList{"gap 02:30"});
    EXPECT_EQ(labels("2026-10-25 02:31"), old + QStringList({"gap 02:30", "fold 02:30"}));
}

TEST_F(ToolTest, EveryFailureGivesItsStatusNamesTheFileAndChangesNothing) {
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::white);
    ASSERT_TRUE(picture.save(base() + "/plan.png"));
    ASSERT_TRUE(picture.save(base() + "/broken.png"));
    PointList list;
    list.AddPoint(SincePoint(5, 5, "2020-01-01 00:00"), "one", "", "");
    saveMap("plan", list);
    write("MAPS/broken.map", QByteArray(3, '\xff') + QByteArray(20, '\x7f'));
    write("good.csv", "1,2,x\n");
    write("bad.csv", "x,y,label\n1,2,fine\nnot,3,bad\n");
    write("notapicture.png", "text");
    write("old.png", "keep me");

    struct Row {
        QStringList args;
        int status;
        const char* errorNames; // a text the error output must hold
    };
    const std::vector<Row> rows = {
        {{"list", "broken.png"}, 1, "broken.map"},
        {{"list", "nosuch.png"}, 1, "nosuch.png"},
        {{"check", "MAPS/plan.map", "MAPS/broken.map"}, 1, "broken.map"},
        {{"check"}, 1, "broken.map"},
        {{"check", "MAPS/plan.map"}, 0, ""},
        {{"due"}, 1, "broken.map"},
        {{"import", "broken.png", "good.csv"}, 1, "broken.map"},
        {{"import", "plan.png", "bad.csv"}, 1, "bad.csv:3"},
        {{"import", "plan.png", "missing.csv"}, 1, "missing.csv"},
        {{"render", "broken.png", "out.png"}, 1, "broken.map"},
        {{"render", "plan.png", "nodir/out.png"}, 1, "nodir/out.png"},
        {{"render", "notapicture.png", "old.png"}, 1, "notapicture.png"},
        {{}, 2, "command"},
        {{"frobnicate"}, 2, "frobnicate"},
        {{"list", "--format", "xml", "plan.png"}, 2, "xml"},
        {{"list", "--colour", "plan.png"}, 2, "colour"},
        {{"render", "--width", "0", "plan.png", "o.png"}, 2, "--width"},
        {{"render", "plan.png", "o.gif"}, 2, ".png"},
        {{"render", "plan.png", "./plan.png"}, 2, "replace the picture"},
        {{"due", "--before", "tomorrow"}, 2, "--before"},
        {{"import", "plan.png"}, 2, "CSV"},
    };
    for (const Row& row : rows) {
        const auto before = snapshot();
        const ToolRun result = run(row.args);
        const std::string what = "zelvor-maps " + row.args.join(' ').toStdString();
        EXPECT_EQ(result.status, row.status) << what << "\n" << result.err.toStdString();
        EXPECT_TRUE(result.err.contains(row.errorNames)) << what << "\n"
                                                         << result.err.toStdString();
        EXPECT_EQ(snapshot(), before) << what;
    }
}

TEST_F(ToolTest, TheToolAndEachCommandDescribeThemselvesWithAnExample) {
    const ToolRun tool = run({"--help"});
    EXPECT_EQ(tool.status, 0);
    for (const char* command : {"list", "render", "import", "due", "check"}) {
        EXPECT_TRUE(tool.out.contains(QByteArray("zelvor-maps ") + command)) << command;
        const ToolRun help = run({command, "--help"});
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_TRUE(help.out.startsWith(QByteArray("Usage: zelvor-maps ") + command)) << command;
        EXPECT_TRUE(help.out.contains("Example:\n  zelvor-maps " + QByteArray(command)))
            << help.out.toStdString();
        EXPECT_TRUE(help.out.contains("--base")) << command;
    }
    const ToolRun version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.startsWith("zelvor-maps (Zelvor) " ZELVOR_VERSION "\n"))
        << version.out.toStdString();
    EXPECT_TRUE(version.out.contains("License MIT")) << version.out.toStdString();
}
