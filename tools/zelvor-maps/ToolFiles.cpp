#include "ToolFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

#include "AtomicFile.h"
#include "FileSource.h"
#include "MapArchive.h"
#include "MapLocator.h"
#include "TextSink.h"

namespace {

constexpr std::size_t kMegabyte = std::size_t{1} << 20;
constexpr std::size_t kReadBlock = std::size_t{1} << 20;

// A regular file through FileSource: it opens without waiting and refuses anything else.
bool OpenRegular(const QString& path, FileSource& source, std::string& why) {
    const std::string name = LocalPath(path);
    const FileResult opened = source.open(name);
    if (opened.status == FileResult::Absent) {
        why = "no such file";
        return false;
    }
    if (opened.status == FileResult::Failed) {
        // FileSource names the file first; the caller does that itself.
        why = opened.message.substr(opened.message.rfind(": ") + 2);
        return false;
    }
    return true;
}

// Appends reads of `read` to `bytes` until it gives nothing or `cap` + 1 bytes are there.
template <typename Read>
bool ReadCapped(Read read, std::size_t cap, QByteArray& bytes, std::string& why) {
    bytes.clear();
    std::size_t have = 0;
    while (have <= cap) {
        const std::size_t want = std::min(kReadBlock, cap + 1 - have);
        bytes.resize(static_cast<qsizetype>(have + want));
        const std::size_t got = read(bytes.data() + have, want);
        if (got == 0) {
            break;
        }
        have += got;
    }
    bytes.resize(static_cast<qsizetype>(have));
    if (have > cap) {
        bytes.clear();
        why = "too large (over " + std::to_string(cap / kMegabyte) + " MB)";
        return false;
    }
    return true;
}

// Standard output as a sink for a picture's bytes.
class TextSinkBytes : public ByteSink {
public:
    explicit TextSinkBytes(TextSink& out) : m_out(out) {}
    bool write(std::string_view bytes) override {
        m_out.write(bytes);
        return true;
    }

private:
    TextSink& m_out;
};

} // namespace

bool IsStandardStream(const QString& path) {
    return path == QLatin1String("-");
}

bool ReadInputFile(const QString& path, std::size_t cap, QByteArray& bytes, std::string& why) {
    if (IsStandardStream(path)) {
        bool failed = false;
        const bool ok = ReadCapped(
            [&](char* dest, std::size_t n) {
                const std::size_t got = std::fread(dest, 1, n, stdin);
                failed = failed || std::ferror(stdin) != 0;
                return got;
            },
            cap, bytes, why);
        if (failed) {
            why = std::string("cannot read: ") + std::strerror(errno);
            return false;
        }
        return ok;
    }
    FileSource source;
    if (!OpenRegular(path, source, why)) {
        return false;
    }
    if (source.size() > cap) {
        why = "too large (over " + std::to_string(cap / kMegabyte) + " MB)";
        return false;
    }
    try {
        return ReadCapped([&](char* dest, std::size_t n) { return source.read(dest, n); }, cap,
                          bytes, why);
    } catch (const ArchiveFileError& e) {
        const std::string message = e.what();
        why = message.substr(message.rfind(": ") + 2);
        bytes.clear();
        return false;
    }
}

bool IsReadableRegularFile(const QString& path, std::string& why) {
    FileSource source;
    return OpenRegular(path, source, why);
}

FileResult WriteOutputFile(const QString& path, const std::function<void(ByteSink&)>& produce,
                           TextSink& out) {
    if (!IsStandardStream(path)) {
        return WriteFileAtomically(LocalPath(path), produce);
    }
    TextSinkBytes sink(out);
    produce(sink);
    if (!out.flush()) {
        return FileResult::failure(std::string("standard output: cannot write: ") +
                                   std::strerror(errno));
    }
    return FileResult::success();
}
