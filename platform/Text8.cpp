#include "Text8.h"

#include <QStringDecoder>

#include <array>

namespace {

// Windows-1252 in 0x80..0x9F; the five unassigned bytes map to the C1 control of the same
// value, as the Windows conversion does. Every other byte is the Latin-1 code point.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
constexpr int kCp1252HighFirst = 0x80;
constexpr int kCp1252HighEnd = kCp1252HighFirst + static_cast<int>(kCp1252High.size());

bool IsAscii(const std::string& bytes) {
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

QString FromCp1252(const std::string& bytes) {
    QString out(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* dst = out.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *dst++ = (b >= kCp1252HighFirst && b < kCp1252HighEnd)
                     ? QChar(kCp1252High[b - kCp1252HighFirst])
                     : QChar(b);
    }
    return out;
}

} // namespace

QString FromText8(const std::string& bytes) {
    if (IsAscii(bytes)) {
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    // Strict UTF-8: any malformed, overlong or surrogate sequence sends the whole text to the
    // Windows-1252 reading. A leading byte-order mark is kept as U+FEFF, not dropped.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                    QStringConverter::Flag::ConvertInitialBom);
    QString text = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (!utf8.hasError()) {
        return text;
    }
    return FromCp1252(bytes);
}

std::string ToText8(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}
