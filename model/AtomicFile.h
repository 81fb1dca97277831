// Whole-file reads and crash-safe whole-file writes.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "ByteStreams.h"
#include "FileResult.h"

// Reads the whole file into `out`. Absent when it does not exist (out empty); Failed, with the
// path and the reason, when it exists but cannot be opened or read (out empty).
FileResult ReadWholeFile(const std::string& path, std::string& out);

// How WriteFileAtomically goes about it. The defaults are what every caller wants; the other
// settings let tests reach the fallback path and stop a save half-way.
struct AtomicWriteOptions {
    // Write into an unnamed temporary file (O_TMPFILE) where the system offers one, so a process
    // killed mid-write leaves nothing behind; otherwise a named temporary file is used.
    bool allowUnnamedTemp = true;
    // The data goes out in pieces of at most this many bytes.
    std::size_t chunkSize = std::size_t{4} << 20;
    // Called after each piece has been written, with the bytes written so far.
    std::function<void(std::size_t written)> afterChunk;
};

// Replaces `path` with `bytes` so that a reader sees either the old file or the new one,
// never a mix: a temporary file in the same folder, every write checked, flushed and synced,
// renamed over the target, then the folder synced. A symbolic link stays a link: the file it
// points to (following a chain of links) is replaced. An existing file's permission bits carry
// over to the new one; a new file gets 0666 less the umask. An existing file this process may
// not write to is not replaced. On failure the old file is intact, no temporary file remains,
// and the result names the file and says why. A process killed while writing leaves nothing
// behind on the unnamed route; only a kill on the named route, or in the instant between naming
// the finished file and the rename, can leave a temporary file next to the target. Its name has
// a fixed length (".zelvor-<12 hex digits>.tmp"), so any target name the folder allows can be
// saved; such files left for an hour or more are removed by the next save in that folder.
FileResult WriteFileAtomically(const std::string& path, std::string_view bytes,
                               const AtomicWriteOptions& options = {});

// The same, with the bytes produced as they are written: `produce` writes the whole content to
// the sink it is given (a write to a failed sink is dropped; the result reports the failure).
// `produce` may be called a second time, from the start, when the first way of creating the
// temporary file turns out not to work here. An exception from `produce` abandons the save,
// leaving the old file, and propagates.
using FileProducer = std::function<void(ByteSink&)>;
FileResult WriteFileAtomically(const std::string& path, const FileProducer& produce,
                               const AtomicWriteOptions& options = {});

// The file a path finally names once symbolic links are followed (the path itself when it is not
// a link or does not exist). Empty when the links loop or cannot be read.
std::string ResolveLinks(const std::string& path);
