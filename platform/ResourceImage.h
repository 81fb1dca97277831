// The program's own images (icons, toolbar strips), which are all PNG files.
#pragma once

#include <QPixmap>
#include <QString>

// Reads the PNG image at `path` with Qt's built-in PNG reader alone; null when it cannot be
// read. Left to itself, QImageReader first offers every file to each image plugin installed,
// loading all of them and their libraries, which start-up does not need.
QPixmap LoadResourcePng(const QString& path);
