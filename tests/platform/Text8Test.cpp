// 8-bit texts: UTF-8 where the bytes are valid UTF-8, Windows-1252 otherwise.
#include <gtest/gtest.h>

#include <string>

#include "Text8.h"

namespace {

struct Decoding {
    const char* what;
    std::string bytes;
    QString text;
};

TEST(Text8, ValidUtf8IsReadAsUtf8AndOtherBytesAsWindows1252) {
    const Decoding cases[] = {
        {"ascii", "Floor 2", QStringLiteral("Floor 2")},
        {"utf8 accents", "Z\xC3\xBCrich \xE2\x82\xAC", QString::fromUtf8("Zürich €")},
        {"utf8 four bytes", "\xF0\x9F\x93\x8D", QString::fromUtf8("\xF0\x9F\x93\x8D")},
        {"latin accents", "Z\xFCrich caf\xE9", QString::fromUtf8("Zürich café")},
        {"euro and quotes", "\x80 \x93q\x94 \x85", QString::fromUtf8("€ “q” …")},
        {"every special", "\x8A\x8C\x8E\x9A\x9C\x9E\x9F\x83\x99", QString::fromUtf8("ŠŒŽšœžŸƒ™")},
        {"unassigned bytes", "\x81\x8D\x8F\x90\x9D",
         QString(QChar(0x81)) + QChar(0x8D) + QChar(0x8F) + QChar(0x90) + QChar(0x9D)},
        {"cut sequence", "caf\xC3", QString::fromUtf8("cafÃ")},
        {"overlong slash", "a\xC0\xAF", QString::fromUtf8("aÀ¯")},
        {"encoded surrogate", "\xED\xA0\x80", QString::fromUtf8("í\xC2\xA0€")},
        {"utf8 then stray byte", "\xC3\xA9\xE9", QString::fromUtf8("Ã©é")},
        {"byte order mark kept", "\xEF\xBB\xBFx", QString(QChar(0xFEFF)) + QLatin1Char('x')},
        {"empty", "", QString()},
    };
    for (const Decoding& c : cases) {
        EXPECT_EQ(FromText8(c.bytes), c.text) << c.what;
    }
    const std::string withNul("a\0b", 3);
    EXPECT_EQ(FromText8(withNul).size(), 3) << "embedded NUL kept";
}

TEST(Text8, WritesUtf8AndRoundTripsStoredUtf8ByteForByte) {
    EXPECT_EQ(ToText8(QString::fromUtf8("Zürich €")), "Z\xC3\xBCrich \xE2\x82\xAC");
    EXPECT_EQ(ToText8(QString()), "");
    const std::string stored[] = {"plain", "Z\xC3\xBCrich", "\xF0\x9F\x93\x8D pin",
                                  "\xEF\xBB\xBFwith mark", std::string("nul\0inside", 10)};
    for (const std::string& bytes : stored) {
        EXPECT_EQ(ToText8(FromText8(bytes)), bytes);
    }
    // A Windows-written text comes back as the UTF-8 of what was shown.
    EXPECT_EQ(ToText8(FromText8("caf\xE9 \x80")), "caf\xC3\xA9 \xE2\x82\xAC");
}

} // namespace
