// The two kinds of file points persist in, both under the start-up directory:
// MAPS/<stem>.map per picture (record array, memos, labels, since texts) and Defaults.map
// (one record array holding one record).
#pragma once

#include <string>
#include <string_view>

#include "FileResult.h"
#include "MapArchive.h"
#include "PointList.h"
#include "PointRecord.h"

// baseDir + "/MAPS/" + stem + ".map", the stem being fileName up to its last "." (empty when
// there is none).
std::string MapPathFor(const std::string& baseDir, const std::string& fileName);
// baseDir + "/Defaults.map".
std::string DefaultsPathFor(const std::string& baseDir);

// Loads a map into `list`, replacing its contents. A missing or empty file leaves the list empty
// and returns Absent. A file that exists but cannot be read, or is malformed (ends early, holds
// a count its bytes cannot back, marks a text as wide twice, or holds a text section whose count
// differs from the record count, refused as soon as that count is read), leaves the list empty and returns Failed with the file's path and the reason; the
// caller must not overwrite such a file unasked. Bytes after the four sections are ignored.
FileResult LoadMapFile(const std::string& path, PointList& list);
// The parsing half of LoadMapFile, over a whole file's bytes; `path` only names the file in the
// message. Empty bytes give Absent.
FileResult DecodeMap(const std::string& path, std::string_view bytes, PointList& list);
// The four sections read from `reader` into `list`, and written from it: the common part of the
// file and in-memory loads and saves. ReadMap empties the list first and, on failure, leaves it
// empty; `path` only names the file in the message.
FileResult ReadMap(const std::string& path, MapArchiveReader& reader, PointList& list);
void WriteMap(MapArchiveWriter& writer, const PointList& list);

// Saves atomically (see WriteFileAtomically); on failure the previous file is untouched and the
// message names the file and the reason. The MAPS folder is not created here.
FileResult SaveMapFile(const std::string& path, const PointList& list);
std::string EncodeMap(const PointList& list);

// Loads Defaults.map into `rec`: its first record (a short record is zero-filled, further
// records are ignored), or the factory defaults when the file is missing or holds no record
// (Absent), or cannot be read (Failed, with the reason).
FileResult LoadDefaultsFile(const std::string& path, PointRecord& rec);
// The parsing half of LoadDefaultsFile: Ok with the first record, or Absent with the factory
// defaults.
FileResult DecodeDefaults(std::string_view bytes, PointRecord& rec);
FileResult SaveDefaultsFile(const std::string& path, const PointRecord& rec);
std::string EncodeDefaults(const PointRecord& rec);

// The loads and saves as the view and the main frame call them: the paths derive from the
// start-up directory and the picture's file name.
FileResult SerializeMap(bool bLoad, const std::string& baseDir, const std::string& fileName,
                        PointList& list);
FileResult SerializeDefaults(bool bLoad, const std::string& baseDir, PointRecord& defaults);
