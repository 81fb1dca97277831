#include "ImportCommand.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <charconv>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "CsvReader.h"
#include "DateTimeText.h"
#include "ExitStatus.h"
#include "MapFiles.h"
#include "MapLocator.h"
#include "MapSaveJob.h"
#include "Text8.h"
#include "TextLimits.h"
#include "TextSink.h"
#include "ToolFiles.h"

namespace {

// A CSV file larger than this is refused (no more than one byte past it is ever read), and one
// with more rows than this stops at the first row too many: both keep the memory an import
// takes bounded.
constexpr std::size_t kMaxCsvBytes = std::size_t{256} << 20;
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

// Column positions from a header row; false when the row is not a header: a header names both
// x and y, and no field of it is a number (a data row may well hold a label "x").
bool HeaderColumns(const QStringList& row, std::vector<int>& columns) {
    std::vector<int> found(ColumnCount, -1);
    for (qsizetype i = 0; i < row.size(); ++i) {
        double number = 0;
        if (ParseNumber(row[i], number)) {
            return false;
        }
        const QString name = row[i].trimmed().toLower();
        for (int c = 0; c < ColumnCount; ++c) {
            if (name == QLatin1String(kColumnNames[c]) && found[c] < 0) {
                found[c] = static_cast<int>(i);
            }
        }
    }
    if (found[X] < 0 || found[Y] < 0) {
        return false;
    }
    columns = found;
    return true;
}

// Without a header row the columns are x, y, label, memo and since, in that order.
constexpr qsizetype kUnnamedColumns = 5;

// A field as an error message quotes it: its first few characters.
QString Quoted(const QString& field) {
    constexpr qsizetype kShown = 40;
    return field.size() <= kShown ? field : field.left(kShown) + kEllipsis;
}

// One data row into `point`; false with the reason.
bool ReadRow(const QStringList& row, const std::vector<int>& columns, bool named, NewPoint& point,
             QString& why) {
    if (!named && row.size() > kUnnamedColumns) {
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
        why = QStringLiteral("x and y must be numbers, not \"%1\", \"%2\"")
                  .arg(Quoted(cell(X)), Quoted(cell(Y)));
        return false;
    }
    point.label = ToText8(cell(Label));
    point.memo = ToText8(cell(Memo));
    point.sinceText = ToText8(cell(SinceText));
    for (const auto& [text, column] :
         {std::pair{&point.label, Label}, {&point.memo, Memo}, {&point.sinceText, SinceText}}) {
        if (text->size() > kMaxShownTextBytes) {
            why = QStringLiteral("the %1 is longer than %2 KB")
                      .arg(QLatin1String(kColumnNames[column]))
                      .arg(kMaxShownTextBytes >> 10);
            return false;
        }
    }
    const QString since = cell(Since).trimmed();
    point.hasSince = !since.isEmpty();
    if (point.hasSince && !ParseDateTime(since.toStdString(), point.since)) {
        why = QStringLiteral("since must be a date-time as YYYY-MM-DD HH:MM, not \"%1\"")
                  .arg(Quoted(since));
        return false;
    }
    return true;
}

// The whole file's rows as new points; false (each problem reported) when any row is bad.
bool ReadCsv(const QString& path, std::vector<NewPoint>& points, TextSink& err) {
    const std::string name = IsStandardStream(path) ? "standard input" : LocalPath(path);
    QByteArray bytes;
    std::string why8;
    if (!ReadInputFile(path, kMaxCsvBytes, bytes, why8)) {
        ReportError(err, name + ": cannot read: " + why8);
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
    // A misspelt picture name must not make a map of its own (a map already there is kept up
    // to date even while its picture is elsewhere).
    if (!target.picturePath.empty() && !FileExists(target.picturePath) &&
        !FileExists(target.mapPath)) {
        ReportError(err, target.picturePath + ": no such file, and no map for it");
        return kExitFailed;
    }
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

    if (options.replace && points.empty() && !options.allowEmpty) {
        ReportError(err, (IsStandardStream(options.csvFile) ? std::string("standard input")
                                                            : LocalPath(options.csvFile)) +
                             ": no points in it; --replace would remove every point of " +
                             target.mapPath + " (add --allow-empty to do that)");
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
    SetLockWaitNotice([&err](const std::string& mapPath) {
        ReportError(err, mapPath + ": waiting for another program that is saving a map in its "
                                   "folder...");
    });
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
