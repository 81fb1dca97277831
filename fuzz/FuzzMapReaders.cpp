// libFuzzer entry point over the map and defaults readers. Besides not crashing, every input
// must leave the reader's promises intact: a failed map load leaves an empty list and says why,
// a successful one holds four equal counts and survives a save and load unchanged, reading
// through a tiny window from a source that hands out a few bytes at a time gives the same
// result as reading from memory, and the defaults reader hands back exactly the bytes of the
// first record.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "MapArchive.h"
#include "MapFiles.h"

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Hands out its bytes a few at a time, so the streaming reader refills its window constantly.
class TrickleSource : public ByteSource {
public:
    explicit TrickleSource(std::string_view bytes) : m_bytes(bytes) {}
    std::uint64_t size() const override { return m_bytes.size(); }
    std::size_t read(void* dest, std::size_t n) override {
        const std::size_t k = std::min({n, m_bytes.size() - m_pos, std::size_t{7}});
        std::memcpy(dest, m_bytes.data() + m_pos, k);
        m_pos += k;
        return k;
    }

private:
    std::string_view m_bytes;
    std::size_t m_pos = 0;
};

bool sameRecords(const PointList& a, const PointList& b) {
    return a.count() == b.count() &&
           (a.count() == 0 || std::memcmp(a.points().data(), b.points().data(),
                                          a.points().size() * kPointRecordSize) == 0);
}

void checkMap(std::string_view bytes) {
    PointList list;
    const FileResult result = DecodeMap("fuzz.map", bytes, list);
    const auto n = static_cast<std::size_t>(list.count());
    require(list.labels().size() == n && list.memos().size() == n && list.sinceTexts().size() == n);
    TrickleSource source(bytes);
    MapArchiveReader streaming(source, 16);
    PointList streamed;
    const FileResult viaStream =
        bytes.empty() ? FileResult::absent() : ReadMap("fuzz.map", streaming, streamed);
    require(viaStream.status == result.status && viaStream.message == result.message);
    require(sameRecords(list, streamed) && list.labels() == streamed.labels() &&
            list.memos() == streamed.memos() && list.sinceTexts() == streamed.sinceTexts());
    if (result.status == FileResult::Failed) {
        require(n == 0 && result.message.find("fuzz.map") != std::string::npos);
        return;
    }
    if (result.status == FileResult::Absent) {
        require(bytes.empty() && n == 0);
        return;
    }
    const std::string again = EncodeMap(list);
    PointList reloaded;
    require(DecodeMap("again.map", again, reloaded).status == FileResult::Ok);
    require(sameRecords(list, reloaded) && list.labels() == reloaded.labels() &&
            list.memos() == reloaded.memos() && list.sinceTexts() == reloaded.sinceTexts());
    require(EncodeMap(reloaded) == again);
}

void checkDefaults(std::string_view bytes) {
    PointRecord rec{};
    const FileResult result = DecodeDefaults(bytes, rec);
    const RecordImage image = StorageImage(rec);
    if (result.status != FileResult::Ok) {
        const RecordImage factory = StorageImage(FactoryDefaults());
        require(image == factory);
        return;
    }
    const std::size_t header = bytes.size() >= 2 && static_cast<std::uint8_t>(bytes[0]) == 0xFF &&
                                       static_cast<std::uint8_t>(bytes[1]) == 0xFF
                                   ? 6
                                   : 2;
    require(bytes.size() > header);
    const std::size_t present = std::min(bytes.size() - header, kPointRecordSize);
    require(std::memcmp(image.data(), bytes.data() + header, present) == 0);
    for (std::size_t i = present; i < kPointRecordSize; ++i) {
        require(image[i] == 0);
    }
}

// Texts straight from the first byte on, so the length forms are reached without a valid
// record section in front of them.
void checkTexts(std::string_view bytes) {
    MapArchiveReader reader(bytes);
    try {
        while (reader.remaining() > 0) {
            const std::size_t before = reader.remaining();
            const std::string text = reader.ReadText();
            require(reader.remaining() < before);
            require(text.size() <= 3 * (before - reader.remaining()));
        }
    } catch (const ArchiveEndOfFile&) {
    } catch (const ArchiveFormatError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    checkMap(bytes);
    checkDefaults(bytes);
    checkTexts(bytes);
    return 0;
}
