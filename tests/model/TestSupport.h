// Helpers shared by the model tests: byte strings from hex, scratch folders, whole-file access
// and small file systems mounted for the duration of a test.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ByteStreams.h"
#include "PointList.h"
#include "PointRecord.h"

namespace testsupport {

// "01 00 ff" -> the three bytes; spaces are ignored.
std::string Hex(std::string_view hex);

// The bytes of a record as a string, for comparing with file contents.
std::string RecordBytes(const PointRecord& rec);

// A record with every byte set to a distinct, non-zero pattern.
PointRecord PatternRecord(std::uint8_t seed);

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, std::string_view bytes);
// Names in a folder, sorted, "." and ".." left out.
std::vector<std::string> FolderEntries(const std::string& folder);

// A list of `n` points with distinct records and texts.
PointList SampleList(int n);

// Runs `check` in a child process without root's privileges (as the user "nobody" when this
// process is root, as it is otherwise). Returns 1 when check() returned true, 0 when it returned
// false, -1 when privileges could not be dropped.
int RunUnprivileged(const std::function<bool()>& check);

// A source over bytes in memory that hands out at most `piece` bytes per read and may announce
// a different size than it holds (a file that shrank after it was opened).
class ChunkedSource : public ByteSource {
public:
    ChunkedSource(std::string bytes, std::size_t piece, std::uint64_t announced);
    ChunkedSource(std::string bytes, std::size_t piece)
        : ChunkedSource(bytes, piece, bytes.size()) {}
    std::uint64_t size() const override { return m_announced; }
    std::size_t read(void* dest, std::size_t n) override;

private:
    std::string m_bytes;
    std::size_t m_piece;
    std::uint64_t m_announced;
    std::size_t m_pos = 0;
};

// Collects what is written to it.
class StringSink : public ByteSink {
public:
    bool write(std::string_view bytes) override {
        m_bytes.append(bytes);
        ++m_writes;
        return true;
    }
    std::string m_bytes;
    int m_writes = 0;
};

// A fresh folder under the system's temporary folder, removed with all it holds at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// A tmpfs of `bytes` bytes mounted on `folder` (in a mount namespace of this process's own,
// where that can be had), unmounted at the end. mounted() is false, with the reason in
// why(), when this process may not mount.
class ScopedTmpfs {
public:
    ScopedTmpfs(const std::string& folder, std::size_t bytes);
    ~ScopedTmpfs();
    ScopedTmpfs(const ScopedTmpfs&) = delete;
    ScopedTmpfs& operator=(const ScopedTmpfs&) = delete;
    bool mounted() const { return m_mounted; }
    const std::string& why() const { return m_why; }
    // Remounts read-only; false with why() set when that fails.
    bool makeReadOnly();

private:
    std::string m_folder;
    bool m_mounted = false;
    std::string m_why;
};

} // namespace testsupport
