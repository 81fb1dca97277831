// Adding points to a picture's map from a CSV file.
#pragma once

#include <QByteArray>
#include <QString>

#include <string>
#include <vector>

#include "PointRecord.h"

class TextSink;

// A point as one CSV row gives it.
struct NewPoint {
    double x = 0;
    double y = 0;
    std::string label;
    std::string memo;
    std::string sinceText;
    bool hasSince = false;
    SYSTEMTIME since{};
};

// The rows of a CSV text (`bytes`, a file's whole content) as import reads them (see RunImport);
// false, with each problem reported on `err` under `name` and line number, when any row is bad.
bool ReadCsvPoints(QByteArray bytes, const std::string& name, std::vector<NewPoint>& points,
                   TextSink& err);
// The record import adds for `p`: the look of `look` at p's place, with p's since date.
PointRecord NewPointRecord(const NewPoint& p, const PointRecord& look);

struct ImportOptions {
    QString baseDir = QStringLiteral(".");
    QString picture; // a picture (its map under baseDir) or a .map file
    QString csvFile;      // "-": standard input
    bool replace = false; // replace every point instead of adding
    bool allowEmpty = false; // replace with no points at all: remove every point
};

// Reads the CSV file, or standard input for "-" (a regular file or a stream, at most 256 MB;
// UTF-8, else Windows-1252, as the viewer reads texts): columns x, y, label,
// memo, since, in that order, or in any order under a first row that names them (since_text
// may be named too; other named columns are ignored). x and y are finite numbers, since is
// empty or a date-time as ParseDateTime reads it. Every new point has the look of
// Defaults.map (the factory look when there is none) and its since date on when since is
// given. The map is saved atomically, and only when the map, the defaults and every row could
// be read: otherwise each problem is reported (rows by line number) and no file changes. The
// picture named must exist, or its map. A replace by a file without data rows is refused unless
// `allowEmpty`. Texts over kMaxShownTextBytes are refused with their line number. The
// save is the viewer's guarded one: points another writer saved meanwhile are merged, or their
// version kept aside as "<map>.conflict", and reported.
int RunImport(const ImportOptions& options, TextSink& out, TextSink& err);
