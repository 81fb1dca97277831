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

void Paint(QPainter& painter, const QRect& area, const QString& text) {
    painter.save();
    painter.setPen(QGuiApplication::palette().color(QPalette::Text));
    painter.drawText(area.adjusted(kMargin, kMargin, -kMargin, -kMargin),
                     Qt::AlignCenter | Qt::TextWordWrap, text);
    painter.restore();
}

} // namespace PictureNotice
