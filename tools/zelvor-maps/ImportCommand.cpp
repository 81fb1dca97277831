#include "ImportCommand.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "CsvReader.h"
#include "DateTimeText.h"
#include "ExitStatus.h"
#include "MapFiles.h"
#include "MapLocator.h"
#include "MapSaveJob.h"
#include "Text8.h"
#include "TextSink.h"

namespace {

// A CSV file larger than this is refused before it is read, and one with more rows than this
// stops at the first row too many: both keep the memory an import takes bounded.
constexpr qint64 kMaxCsvBytes = qint64(256) << 20;
constexpr std::size_t kMaxImportPoints = 2'000'000;
// Row problems reported one by one; the rest are counted.
constexpr int kMaxRowErrors = 20;

enum Column { X, Y, Label, Memo, Since, SinceText, ColumnCount };
const char* const kColumnNames[ColumnCount] = {"x", "y", "label", "memo", "since", "since_text"};


bool ParseNumber(const QString& text, double& value) {
    const std::string s = text.trimmed().toStdString();
    const auto result = std::from_chars(s.data(), s.data() + s.size(), value);
    return !s.empty() && result.ec == std::errc() && result.ptr == s.data() + s.size() &&
           std::isfinite(value);
}

// Column positions from a header row; false when the row is not a header (it names no x).
bool HeaderColumns(const QStringList& row, std::vector<int>& columns) {
    std::vector<int> found(ColumnCount, -1);
    for (qsizetype i = 0; i < row.size(); ++i) {
        const QString name = row[i].trimmed().toLower();
        for (int c = 0; c < ColumnCount; ++c) {
            if (name == QLatin1String(kColumnNames[c]) && found[c] < 0) {
                found[c] = static_cast<int>(i);
            }
        }
    }
    if (found[X] < 0 && found[Y] < 0) {
        return false;
    }
    columns = found;
    return true;
}

// One data row into `point`; false with the reason.
bool ReadRow(const QStringList& row, const std::vector<int>& columns, bool named, NewPoint& point,
             QString& why) {
    if (!named && row.size() > 5) {
        why = QStringLiteral("%1 fields, at most 5 expected (x, y, label, memo, since)")
                  .arg(row.size());
        return false;
    }
    const auto cell = [&](Column c) {
        return columns[c] >= 0 ? row.value(columns[c]) : QString();
    };
    if (columns[X] < 0 || columns[Y] < 0 || columns[X] >= row.size() || columns[Y] >= row.size()) {
        why = QStringLiteral("x and y are needed");
        return false;
    }
    if (!ParseNumber(cell(X), point.x) || !ParseNumber(cell(Y), point.y)) {
        why = QStringLiteral("x and y must be numbers, not \"%1\", \"%2\"").arg(cell(X), cell(Y));
        return false;
    }
    point.label = ToText8(cell(Label));
    point.memo = ToText8(cell(Memo));
    point.sinceText = ToText8(cell(SinceText));
    const QString since = cell(Since).trimmed();
    point.hasSince = !since.isEmpty();
    if (point.hasSince && !ParseDateTime(since.toStdString(), point.since)) {
        why =
            QStringLiteral("since must be a date-time as YYYY-MM-DD HH:MM, not \"%1\"").arg(since);
        return false;
    }
    return true;
}

// The whole file's rows as new points; false (each problem reported) when any row is bad.
bool ReadCsv(const QString& path, std::vector<NewPoint>& points, TextSink& err) {
    const std::string name = LocalPath(path);
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        ReportError(err, name + ": cannot open: " +
                             (QFileInfo(path).isDir() ? std::string("it is a folder")
                                                      : file.errorString().toStdString()));
        return false;
    }
    if (file.size() > kMaxCsvBytes) {
        ReportError(err, name + ": too large for a list of points (over 256 MB)");
        return false;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        ReportError(err, name + ": cannot read: " + file.errorString().toStdString());
        return false;
    }
    return ReadCsvPoints(std::move(bytes), name, points, err);
}

} // namespace

bool ReadCsvPoints(QByteArray bytes, const std::string& name, std::vector<NewPoint>& points,
                   TextSink& err) {
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        bytes.remove(0, 3);
    }
    const QString text = FromText8(bytes.toStdString());
    bytes.clear();

    CsvReader reader(text);
    QStringList row;
    QString why;
    int line = 0;
    int errors = 0;
    bool first = true;
    bool named = false;
    std::vector<int> columns = {X, Y, Label, Memo, Since, -1};
    const auto rowError = [&](const QString& reason) {
        if (++errors <= kMaxRowErrors) {
            ReportError(err, name + ":" + std::to_string(line) + ": " + reason.toStdString());
        }
    };
    while (reader.next(row, line, why)) {
        if (row.size() == 1 && row[0].trimmed().isEmpty()) {
            continue; // blank line
        }
        if (first) {
            first = false;
            named = HeaderColumns(row, columns);
            if (named) {
                continue;
            }
        }
        if (points.size() == kMaxImportPoints) {
            rowError(QStringLiteral("more than %1 points").arg(kMaxImportPoints));
            break;
        }
        NewPoint point;
        if (ReadRow(row, columns, named, point, why)) {
            points.push_back(std::move(point));
        } else {
            rowError(why);
        }
    }
    if (!why.isEmpty()) {
        rowError(why);
    }
    if (errors > kMaxRowErrors) {
        ReportError(err, name + ": " + std::to_string(errors - kMaxRowErrors) + " more bad lines");
    }
    return errors == 0;
}

PointRecord NewPointRecord(const NewPoint& p, const PointRecord& look) {
    PointRecord rec = look;
    rec.dX = p.x;
    rec.dY = p.y;
    rec.bSinceDate = p.hasSince ? 1 : 0;
    if (p.hasSince) {
        rec.stSince = p.since;
    }
    return rec;
}

int RunImport(const ImportOptions& options, TextSink& out, TextSink& err) {
    const MapTarget target = LocateMap(options.baseDir, options.picture);
    // Stamped before reading, as the viewer does: a write landing in between shows at the save.
    const DiskStamp known = StampOf(target.mapPath);
    PointList list;
    const FileResult load = LoadMapFile(target.mapPath, list);
    if (load.status == FileResult::Failed) {
        ReportError(err, load.message + " (the map is left as it is)");
        return kExitFailed;
    }
    PointRecord look{};
    const FileResult defaults = LoadDefaultsFile(DefaultsPath(options.baseDir), look);
    if (defaults.status == FileResult::Failed) {
        ReportError(err, defaults.message);
        return kExitFailed;
    }
    std::vector<NewPoint> points;
    if (!ReadCsv(options.csvFile, points, err)) {
        ReportError(err, target.mapPath + ": not changed");
        return kExitFailed;
    }

    PointList ancestor = list;
    if (options.replace) {
        list.RemoveAllPoints();
    }
    for (const NewPoint& p : points) {
        list.AddPoint(NewPointRecord(p, look), p.label, p.sinceText, p.memo);
    }
    // A picture's MAPS folder is made as the viewer makes it at start-up.
    if (!target.picturePath.empty() &&
        !QDir().mkpath(QFileInfo(QFile::decodeName(target.mapPath.c_str())).path())) {
        ReportError(err, target.mapPath + ": cannot make its folder");
        return kExitFailed;
    }
    // Saved as a viewer window saves: a window or another program that wrote the map meanwhile
    // has its points merged, or its version kept aside, never lost.
    const int count = list.count();
    MapSaveOutcome saved =
        SaveMapGuarded({target.mapPath, std::move(list), std::move(ancestor), known, false});
    if (saved.result.status == FileResult::Failed) {
        ReportError(err, saved.result.message);
        return kExitFailed;
    }
    if (!saved.keptAside.empty()) {
        ReportError(err,
                    target.mapPath + ": another writer's version is kept as " + saved.keptAside);
    } else if (saved.othersTaken) {
        ReportError(err, target.mapPath + ": merged with points another writer added meanwhile");
    }
    out.write(target.mapPath + ": " + std::to_string(points.size()) + " points imported, " +
              std::to_string(count) + " in all\n");
    return kExitOk;
}
