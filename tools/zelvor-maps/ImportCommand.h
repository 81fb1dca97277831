// Adding points to a picture's map from a CSV file.
#pragma once

#include <QString>

class TextSink;

struct ImportOptions {
    QString baseDir = QStringLiteral(".");
    QString picture;         // a picture (its map under baseDir) or a .map file
    QString csvFile;         // "-": standard input
    bool replace = false;    // replace every point instead of adding
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
