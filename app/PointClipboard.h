// Points on the clipboard. Copy puts them there in two forms: an exact one of our own (the
// records and texts as a map file stores them, under kMimeType, so that looks and since dates
// survive into another picture or another running copy) and plain text as CSV with the columns
// of `zelvor-maps list --format csv`, for a spreadsheet. Paste takes our own form when it is
// there, else CSV text (rows as `zelvor-maps import` reads them, the new points with the
// default look).
#pragma once

#include <QString>

#include <string>
#include <vector>

#include "PointList.h"

class QMimeData;

namespace PointClipboard {

inline constexpr const char* kMimeType = "application/x-zelvor-points";

// The two forms of `entries`; `mapName` fills the CSV's map column. The caller owns the result.
QMimeData* Encode(const std::vector<PointEntry>& entries, const std::string& mapName);

// What a paste would add: the points, or none with `problem` saying why (for the status bar).
// `look` is the look new points from CSV get.
struct Decoded {
    std::vector<PointEntry> entries;
    QString problem;
};
Decoded Decode(const QMimeData* data, const PointRecord& look);

// Whether `data` holds anything Decode may take (our own form or text), cheaply.
bool MayHold(const QMimeData* data);

} // namespace PointClipboard
