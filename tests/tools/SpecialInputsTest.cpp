// zelvor-maps against special and careless inputs: files that are no regular files, streams
// that never end, inputs without data, outputs that cannot be written. Each refusal must give
// its status and reason without waiting, and leave every file as it was.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

#include "MapFiles.h"
#include "ToolTestSupport.h"

namespace {

PointList TwoPoints() {
    PointList list;
    PointRecord rec = FactoryDefaults();
    rec.dX = 5;
    rec.dY = 6;
    list.AddPoint(rec, "kept", "", "");
    rec.dX = 7;
    list.AddPoint(rec, "also kept", "", "");
    return list;
}

// A JPEG of `size` with noise (so it has entropy-coded data worth the name), progressive or not.
QByteArray Jpeg(QSize size, bool progressive) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            image.setPixel(x, y, qRgb((x * 7) % 256, (y * 13) % 256, (x * y) % 256));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(progressive);
    EXPECT_TRUE(writer.write(image));
    return bytes;
}

// A progressive JPEG whose last scan is repeated until it has `scans` of them: small, and
// minutes of work for a decoder that runs them all.
QByteArray ScanBomb(int scans) {
    const QByteArray jpeg = Jpeg({64, 64}, true);
    const qsizetype lastScan = jpeg.lastIndexOf("\xFF\xDA");
    const qsizetype end = jpeg.lastIndexOf("\xFF\xD9");
    const QByteArray scan = jpeg.mid(lastScan, end - lastScan);
    const int have = jpeg.count("\xFF\xDA");
    return jpeg.left(end) + scan.repeated(std::max(0, scans - have)) + jpeg.mid(end);
}

bool IsCharDevice(const char* path) {
    struct stat st {};
    return ::stat(path, &st) == 0 && S_ISCHR(st.st_mode);
}

} // namespace

TEST_F(ToolTest, SpecialInputsAndOutputsAreRefusedAtOnceAndChangeNothing) {
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::white);
    ASSERT_TRUE(picture.save(base() + "/plan.png"));
    saveMap("plan", TwoPoints());
    write("empty.csv", "");
    write("header-only.csv", "x,y,label\n");
    write("good.pdf", "%PDF-1.4 a good PDF of yesterday");
    const QByteArray jpeg = Jpeg({200, 150}, false);
    write("cut.jpg", jpeg.left(jpeg.size() / 2));
    write("bomb.jpg", ScanBomb(3000));
    // FIFOs and links to devices live outside the base folder, whose files are compared.
    QTemporaryDir special;
    ASSERT_TRUE(special.isValid());
    const QString fifo = special.path() + "/fifo";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString full = special.path() + "/full.png";
    ASSERT_TRUE(QFile::link("/dev/full", full));

    struct Row {
        QString script; // $TOOL is zelvor-maps; `timeout` ends a run that waits
        int status;
        const char* reason;
    };
    const std::vector<Row> rows = {
        {"timeout 20 $TOOL import plan.png " + fifo, 1, "not a regular file"},
        {"timeout 20 $TOOL render " + fifo + " out.png", 1, "not a regular file"},
        {"timeout 20 $TOOL import plan.png /dev/zero", 1, "not a regular file"},
        {"timeout 20 $TOOL import plan.png /dev/null", 1, "not a regular file"},
        // A stream that never ends: the read stops one byte past the cap.
        {"yes 1,2,a | timeout 60 $TOOL import plan.png -", 1, "too large"},
        {"$TOOL import --replace plan.png empty.csv", 1, "--allow-empty"},
        {"$TOOL import --replace plan.png header-only.csv", 1, "--allow-empty"},
        {"printf '' | $TOOL import --replace plan.png -", 1, "--allow-empty"},
        {"$TOOL render plan.png " + full, 1, "not a regular file"},
        // A full disk, as a file size limit: the old PDF stays and the system's reason shows.
        {"trap '' XFSZ; ulimit -f 4; $TOOL render --zoom 30 plan.png good.pdf", 1,
         "File too large"},
        {"trap '' XFSZ; ulimit -f 4; $TOOL render --zoom 30 --type png plan.png good.pdf", 1,
         "File too large"},
        {"$TOOL import plan-misspelt.png empty.csv", 1, "plan-misspelt.png: no such file"},
        {"$TOOL render plan-misspelt.png out.png", 1, "plan-misspelt.png: no such file"},
        {"$TOOL render plan.png - > /dev/null", 2, "--type"},
        {"$TOOL render cut.jpg out.png", 1, "truncated"},
        {"timeout 20 $TOOL render bomb.jpg out.png", 1, "more than 100 progressive scans"},
    };
    for (const Row& row : rows) {
        const auto before = snapshot();
        const ToolRun result = runShell(row.script);
        const std::string what = row.script.toStdString();
        EXPECT_EQ(result.status, row.status) << what << "\n" << result.err.toStdString();
        EXPECT_TRUE(result.err.contains(row.reason)) << what << "\n" << result.err.toStdString();
        EXPECT_EQ(snapshot(), before) << what;
    }
    EXPECT_TRUE(IsCharDevice("/dev/full"));
    // Whole JPEGs, progressive ones with their ordinary scans too, still render.
    write("whole.jpg", jpeg);
    write("progressive.jpg", Jpeg({200, 150}, true));
    for (const char* name : {"whole.jpg", "progressive.jpg"}) {
        const ToolRun whole = run({"render", name, "whole.png"});
        EXPECT_EQ(whole.status, 0) << name << whole.err.toStdString();
    }
    PointList after;
    ASSERT_TRUE(LoadMapFile(map("plan"), after).ok());
    EXPECT_EQ(after.count(), 2);
}

TEST_F(ToolTest, OldMacLineEndsAndDataThatLooksLikeAHeaderImportAsRows) {
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::white);
    ASSERT_TRUE(picture.save(base() + "/plan.png"));
    struct Row {
        QByteArray csv;
        std::vector<std::string> labels;
    };
    const std::vector<Row> rows = {
        {"x,y,label\r1,2,a\r3,4,b\r", {"a", "b"}},
        {"1,2,a\r3,4,b", {"a", "b"}},
        {"1,2,x\n3,4,y\n", {"x", "y"}},
        {"5,6,y,x\n", {"y"}},
        {"label,y,x\nz,1,2\n", {"z"}},
    };
    for (const Row& row : rows) {
        write("in.csv", row.csv);
        const ToolRun result = run({"import", "--replace", "--allow-empty", "plan.png", "in.csv"});
        EXPECT_EQ(result.status, 0) << row.csv.toStdString() << result.err.toStdString();
        PointList list;
        ASSERT_TRUE(LoadMapFile(map("plan"), list).ok());
        std::vector<std::string> labels;
        for (int i = 0; i < list.count(); ++i) {
            labels.push_back(list.label(i));
        }
        EXPECT_EQ(labels, row.labels) << row.csv.toStdString();
    }
}

TEST_F(ToolTest, StandardStreamsCarryPointsInAndPicturesOut) {
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::white);
    ASSERT_TRUE(picture.save(base() + "/a.png"));
    ASSERT_TRUE(picture.save(base() + "/b.png"));
    saveMap("a", TwoPoints());
    const ToolRun piped =
        runShell("$TOOL list --format csv a.png | $TOOL import b.png - && $TOOL list b.png");
    ASSERT_EQ(piped.status, 0) << piped.err.toStdString();
    PointList b;
    ASSERT_TRUE(LoadMapFile(map("b"), b).ok());
    ASSERT_EQ(b.count(), 2);
    EXPECT_EQ(b.label(1), "also kept");

    for (const char* type : {"png", "jpeg", "pdf"}) {
        const QString file = QStringLiteral("file.") + type;
        ASSERT_EQ(run({"render", "--at", "2026-01-01", "a.png", file}).status, 0) << type;
        const ToolRun out = run({"render", "--at", "2026-01-01", "--type", type, "a.png", "-"});
        EXPECT_EQ(out.status, 0) << type << out.err.toStdString();
        if (std::string(type) == "pdf") { // a PDF holds its creation time
            EXPECT_TRUE(out.out.startsWith("%PDF")) << type;
        } else {
            EXPECT_EQ(out.out, read(file)) << type;
        }
    }
}

// A map may hold texts of any length; the tool never lets one cost more than a long ordinary
// text: import refuses it with its line, the table shows a start of it, messages quote little.
TEST_F(ToolTest, LongTextsAreRefusedByImportAndCutInTheTable) {
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::white);
    ASSERT_TRUE(picture.save(base() + "/plan.png"));
    PointList list;
    PointRecord rec = FactoryDefaults();
    list.AddPoint(rec, std::string(1 << 20, 'L'), "", std::string(1 << 20, 'M'));
    list.AddPoint(rec, "short", "", "");
    saveMap("plan", list);

    const QByteArray longField(70 * 1024, 'x');
    write("long-label.csv", "x,y,label\n1,2,fine\n3,4," + longField + "\n");
    write("long-number.csv", "1,2,fine\n" + longField + ",4,a\n");
    const auto before = snapshot();
    const ToolRun label = run({"import", "plan.png", "long-label.csv"});
    EXPECT_EQ(label.status, 1);
    EXPECT_TRUE(label.err.contains("long-label.csv:3: the label is longer than 64 KB"))
        << label.err.left(300).toStdString();
    const ToolRun number = run({"import", "plan.png", "long-number.csv"});
    EXPECT_EQ(number.status, 1);
    EXPECT_TRUE(number.err.contains("long-number.csv:2")) << number.err.left(300).toStdString();
    EXPECT_LT(number.err.size(), 400); // the field is quoted by its start only
    EXPECT_EQ(snapshot(), before);

    const ToolRun table = run({"list", "plan.png"});
    EXPECT_EQ(table.status, 0);
    EXPECT_LT(table.out.size(), 2000);
    EXPECT_TRUE(table.out.contains(QString(QChar(0x2026)).toUtf8()));
    EXPECT_TRUE(table.out.contains("short"));
    // CSV keeps every byte.
    const ToolRun csv = run({"list", "--format", "csv", "plan.png"});
    EXPECT_GT(csv.out.size(), 2 << 20);
}
