// The read-only commands: list the points of maps, list the points that are due across every
// map, and check that map files can be read. Each reads with the viewer's own readers, writes
// its report on `out` and one line per failed input on `err`, and returns an exit status
// (ExitStatus.h): a failed input is reported and the others are still done.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

#include "PointColumns.h"

class TextSink;

struct ListOptions {
    QString baseDir = QStringLiteral(".");
    OutputFormat format = OutputFormat::Table;
    QStringList inputs; // pictures (their maps under baseDir) or map files
};
// Every point of every input's map. A picture without a map has no points; a picture that does
// not exist and has no map, or a named map that does not exist, is a failed input.
int RunList(const ListOptions& options, TextSink& out, TextSink& err);

struct DueOptions {
    QString baseDir = QStringLiteral(".");
    OutputFormat format = OutputFormat::Table;
    std::int64_t before = 0; // seconds since 1970 UTC: due when its since moment is earlier
};
// Every point with a since date earlier than options.before, from every map in
// <baseDir>/MAPS, oldest first (equal dates in map-name, then index order).
int RunDue(const DueOptions& options, TextSink& out, TextSink& err);

struct CheckOptions {
    QString baseDir = QStringLiteral(".");
    QStringList files; // empty: every map in <baseDir>/MAPS and <baseDir>/Defaults.map
};
// Reads each file with the map reader, or the defaults reader for a file named Defaults.map;
// "<file>: OK ..." on `out` for each readable one, the reader's reason on `err` otherwise.
int RunCheck(const CheckOptions& options, TextSink& out, TextSink& err);

// The points of `list` as `list --format csv` prints them, header row first; `mapName` fills
// the map column.
void WriteListCsv(std::string_view mapName, const PointList& list, TextSink& out);
