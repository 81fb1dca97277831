#include "PictureNotice.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

namespace {
// Space kept free around the text.
constexpr int kMargin = 12;
} // namespace

namespace PictureNotice {

QString Text(const QString& fileName, const PictureFailure& failure) {
    return QCoreApplication::translate("Picture", "\"%1\"\ncannot be shown: %2.")
        .arg(fileName, failure.describe());
}

QString LoadingText(const QString& fileName) {
    return QCoreApplication::translate("Picture", "Opening \"%1\"...").arg(fileName);
}

QString TruncatedText(const QString& fileName) {
    return QCoreApplication::translate("Picture",
                                       "\"%1\" is cut short: the missing part is shown grey.")
        .arg(fileName);
}

void PaintBanner(QPainter& painter, const QRect& area, const QString& text) {
    const QPalette palette = QGuiApplication::palette();
    const int height = painter.fontMetrics().height() + kMargin;
    const QRect band(area.left(), area.bottom() + 1 - height, area.width(), height);
    painter.save();
    painter.fillRect(band, palette.color(QPalette::ToolTipBase));
    painter.setPen(palette.color(QPalette::ToolTipText));
    painter.drawText(band.adjusted(kMargin, 0, -kMargin, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     painter.fontMetrics().elidedText(text, Qt::ElideMiddle,
                                                      band.width() - 2 * kMargin));
    painter.restore();
}

void Paint(QPainter& painter, const QRect& area, const QString& text) {
    painter.save();
    painter.setPen(QGuiApplication::palette().color(QPalette::Text));
    painter.drawText(area.adjusted(kMargin, kMargin, -kMargin, -kMargin),
                     Qt::AlignCenter | Qt::TextWordWrap, text);
    painter.restore();
}

} // namespace PictureNotice
