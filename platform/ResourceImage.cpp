#include "ResourceImage.h"

#include <QImageReader>

QPixmap LoadResourcePng(const QString& path) {
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}
