// What a JPEG file's markers say before and after its pixels are decoded: how many scans the
// decoder will have to run (each scan of a progressive JPEG is a pass over the whole picture, so
// a small file of thousands of scans takes minutes to decode), and whether the file ends with its
// end marker (a file cut short decodes without complaint, the missing part grey).
#pragma once

#include <QString>

#include <atomic>

struct JpegStructure {
    bool progressive = false;
    int scans = 0;         // start-of-scan markers read (counting stops past the limit)
    bool complete = false; // the end-of-image marker was reached
    bool readable = false; // the file could be opened and starts as a JPEG
};

namespace JpegStructureReader {

// Progressive JPEGs with more scans than this are refused: ordinary ones have about ten.
constexpr int kMaxProgressiveScans = 100;

// Walks the markers of the JPEG file at `path`, skipping segment bodies and the entropy-coded
// data, and stops at the end marker or once a progressive file has more than
// kMaxProgressiveScans scans. Reads the file once, in large blocks; stops early when `cancel`
// becomes true. Any thread.
JpegStructure Read(const QString& path, const std::atomic<bool>* cancel = nullptr);

} // namespace JpegStructureReader
