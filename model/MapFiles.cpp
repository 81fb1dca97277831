#include "MapFiles.h"

#include <new>
#include <stdexcept>

#include "AtomicFile.h"
#include "FileSource.h"
#include "MapArchive.h"

namespace {

// The defaults file holds one record: it is read through a window of a page.
constexpr std::size_t kDefaultsReadWindow = 4096;

// Bytes a map of `list` takes, so the writer allocates once.
std::size_t encodedMapSize(const PointList& list) {
    constexpr std::size_t kCountBytes = 6;
    constexpr std::size_t kLengthBytes = 7;
    std::size_t size = 4 * kCountBytes + list.points().size() * kPointRecordSize;
    for (const auto* texts : {&list.memos(), &list.labels(), &list.sinceTexts()}) {
        for (const std::string& s : *texts) {
            size += kLengthBytes + s.size();
        }
    }
    return size;
}

// A text section, which must hold one text per record. A count that differs is refused as soon
// as it is read, before any of its texts: otherwise a file of no records and millions of tiny
// texts would be read whole, at many times its size in memory, only to be refused.
std::vector<std::string> readTextSection(MapArchiveReader& reader, std::size_t records,
                                         const char* name) {
    const std::uint32_t n = reader.ReadCount();
    if (n != records) {
        throw ArchiveFormatError("its sections hold different numbers of points (" +
                                 std::to_string(records) + " records, " + std::to_string(n) +
                                 " " + name + ")");
    }
    return reader.ReadTexts(n);
}

FileResult damaged(const std::string& path, const std::string& why) {
    return FileResult::failure(path + ": the map cannot be read: " + why);
}

} // namespace

std::string MapPathFor(const std::string& baseDir, const std::string& fileName) {
    const std::size_t dot = fileName.rfind('.');
    const std::string stem = dot == std::string::npos ? std::string() : fileName.substr(0, dot);
    return baseDir + "/MAPS/" + stem + ".map";
}

std::string DefaultsPathFor(const std::string& baseDir) {
    return baseDir + "/Defaults.map";
}

FileResult ReadMap(const std::string& path, MapArchiveReader& reader, PointList& list) {
    list.RemoveAllPoints();
    try {
        std::vector<PointRecord> points = reader.ReadRecordArray();
        std::vector<std::string> memos = readTextSection(reader, points.size(), "memos");
        std::vector<std::string> labels = readTextSection(reader, points.size(), "labels");
        std::vector<std::string> sinceTexts =
            readTextSection(reader, points.size(), "since texts");
        list.Assign(std::move(points), std::move(memos), std::move(labels), std::move(sinceTexts));
    } catch (const ArchiveFileError& e) {
        return FileResult::failure(e.what());
    } catch (const std::bad_alloc&) {
        return damaged(path, "not enough memory");
    } catch (const std::exception& e) {
        return damaged(path, e.what());
    }
    return FileResult::success();
}

void WriteMap(MapArchiveWriter& writer, const PointList& list) {
    writer.WriteRecordArray(list.points());
    writer.WriteStringArray(list.memos());
    writer.WriteStringArray(list.labels());
    writer.WriteStringArray(list.sinceTexts());
}

FileResult LoadMapFile(const std::string& path, PointList& list) {
    list.RemoveAllPoints();
    FileSource file;
    const FileResult opened = file.open(path);
    if (opened.status != FileResult::Ok) {
        return opened;
    }
    if (file.size() == 0) {
        return FileResult::absent();
    }
    MapArchiveReader reader(file);
    return ReadMap(path, reader, list);
}

FileResult DecodeMap(const std::string& path, std::string_view data, PointList& list) {
    list.RemoveAllPoints();
    if (data.empty()) {
        return FileResult::absent();
    }
    MapArchiveReader reader(data);
    return ReadMap(path, reader, list);
}

std::string EncodeMap(const PointList& list) {
    MapArchiveWriter writer;
    writer.reserve(encodedMapSize(list));
    WriteMap(writer, list);
    return writer.take();
}

FileResult SaveMapFile(const std::string& path, const PointList& list) {
    try {
        return WriteFileAtomically(path, [&list](ByteSink& sink) {
            MapArchiveWriter writer(sink);
            WriteMap(writer, list);
            writer.flush();
        });
    } catch (const std::bad_alloc&) {
        return FileResult::failure(path + ": not enough memory to save the map");
    } catch (const std::exception& e) {
        return FileResult::failure(path + ": " + e.what());
    }
}

namespace {

// The defaults file's first record from `reader` into `rec`, or the factory defaults when it
// holds none (Absent). A failing file's ArchiveFileError passes through.
FileResult ReadDefaults(MapArchiveReader& reader, PointRecord& rec) {
    rec = FactoryDefaults();
    try {
        if (const std::optional<PointRecord> first = reader.ReadFirstRecord()) {
            rec = *first;
            return FileResult::success();
        }
    } catch (const ArchiveEndOfFile&) {
        // The count itself is cut short: no record, so the factory defaults stay.
    }
    return FileResult::absent();
}

} // namespace

FileResult LoadDefaultsFile(const std::string& path, PointRecord& rec) {
    rec = FactoryDefaults();
    FileSource file;
    const FileResult opened = file.open(path);
    if (opened.status != FileResult::Ok) {
        return opened;
    }
    try {
        MapArchiveReader reader(file, kDefaultsReadWindow);
        return ReadDefaults(reader, rec);
    } catch (const ArchiveFileError& e) {
        return FileResult::failure(e.what());
    }
}

FileResult DecodeDefaults(std::string_view data, PointRecord& rec) {
    MapArchiveReader reader(data);
    return ReadDefaults(reader, rec);
}

std::string EncodeDefaults(const PointRecord& rec) {
    MapArchiveWriter writer;
    writer.reserve(2 + kPointRecordSize);
    writer.WriteRecordArray(std::vector<PointRecord>{rec});
    return writer.take();
}

FileResult SaveDefaultsFile(const std::string& path, const PointRecord& rec) {
    return WriteFileAtomically(path, EncodeDefaults(rec));
}

FileResult SerializeMap(bool bLoad, const std::string& baseDir, const std::string& fileName,
                        PointList& list) {
    const std::string path = MapPathFor(baseDir, fileName);
    return bLoad ? LoadMapFile(path, list) : SaveMapFile(path, list);
}

FileResult SerializeDefaults(bool bLoad, const std::string& baseDir, PointRecord& defaults) {
    const std::string path = DefaultsPathFor(baseDir);
    return bLoad ? LoadDefaultsFile(path, defaults) : SaveDefaultsFile(path, defaults);
}
