#include "PointClipboard.h"

#include <QMimeData>

#include <cstdio>
#include <memory>

#include "ImportCommand.h"
#include "ListCommands.h"
#include "MapFiles.h"
#include "TextSink.h"

namespace {

// Bytes written to a scratch stream through a TextSink, read back whole.
class ScratchText {
public:
    ScratchText() : m_file(std::tmpfile()) {}
    ~ScratchText() {
        if (m_file != nullptr) {
            std::fclose(m_file);
        }
    }
    ScratchText(const ScratchText&) = delete;
    ScratchText& operator=(const ScratchText&) = delete;

    std::FILE* file() const { return m_file; }
    QByteArray bytes() const {
        QByteArray out;
        if (m_file == nullptr || std::fflush(m_file) != 0) {
            return out;
        }
        std::rewind(m_file);
        char block[1 << 16];
        std::size_t n = 0;
        while ((n = std::fread(block, 1, sizeof block, m_file)) > 0) {
            out.append(block, static_cast<qsizetype>(n));
        }
        return out;
    }

private:
    std::FILE* m_file;
};

PointList ListOf(const std::vector<PointEntry>& entries) {
    PointList list;
    for (const PointEntry& e : entries) {
        list.AddPoint(e.rec, e.label, e.sinceText, e.memo);
    }
    return list;
}

} // namespace

namespace PointClipboard {

QMimeData* Encode(const std::vector<PointEntry>& entries, const std::string& mapName) {
    const PointList list = ListOf(entries);
    auto data = std::make_unique<QMimeData>();
    const std::string exact = EncodeMap(list);
    data->setData(QString::fromLatin1(kMimeType),
                  QByteArray(exact.data(), static_cast<qsizetype>(exact.size())));
    ScratchText scratch;
    if (scratch.file() != nullptr) {
        {
            TextSink sink(scratch.file());
            WriteListCsv(mapName, list, sink);
            sink.flush();
        }
        data->setText(QString::fromUtf8(scratch.bytes()));
    }
    return data.release();
}

bool MayHold(const QMimeData* data) {
    return data != nullptr && (data->hasFormat(QString::fromLatin1(kMimeType)) || data->hasText());
}

Decoded Decode(const QMimeData* data, const PointRecord& look) {
    Decoded out;
    if (data != nullptr && data->hasFormat(QString::fromLatin1(kMimeType))) {
        const QByteArray bytes = data->data(QString::fromLatin1(kMimeType));
        PointList list;
        const FileResult result = DecodeMap("clipboard", std::string_view(bytes.data(),
                                                                          static_cast<std::size_t>(bytes.size())),
                                            list);
        if (result.status != FileResult::Ok) {
            out.problem = QObject::tr("The points on the clipboard cannot be read: %1")
                              .arg(QString::fromStdString(result.message));
            return out;
        }
        for (int i = 0; i < list.count(); ++i) {
            out.entries.push_back({list.point(i), list.label(i), list.sinceText(i), list.memo(i)});
        }
        return out;
    }
    if (data == nullptr || !data->hasText() || data->text().trimmed().isEmpty()) {
        out.problem = QObject::tr("The clipboard holds no points and no text to read them from.");
        return out;
    }
    std::vector<NewPoint> points;
    ScratchText errors;
    bool ok = false;
    {
        TextSink err(errors.file() != nullptr ? errors.file() : stderr);
        ok = ReadCsvPoints(data->text().toUtf8(), "clipboard", points, err);
        err.flush();
    }
    if (!ok || points.empty()) {
        QString why = QString::fromUtf8(errors.bytes()).trimmed().section(QLatin1Char('\n'), 0, 0);
        why.remove(QStringLiteral("zelvor-maps: "));
        out.problem = why.isEmpty()
                          ? QObject::tr("The text on the clipboard holds no points (rows of x, y, "
                                        "label, memo, since).")
                          : QObject::tr("The text on the clipboard is not a list of points: %1")
                                .arg(why);
        return out;
    }
    for (const NewPoint& p : points) {
        out.entries.push_back({NewPointRecord(p, look), p.label, p.sinceText, p.memo});
    }
    return out;
}

} // namespace PointClipboard
