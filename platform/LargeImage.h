// Images big enough that filling them the first time costs more than drawing into them: each
// fresh page of memory is a fault, and on some machines (virtual ones above all) a fault costs
// tens of microseconds. On Linux their pixels go on memory advised for transparent huge pages,
// one fault per 2 MB where the system grants them, and plain pages where it does not; elsewhere
// Make is QImage(size, format).
//
// Such an image wraps memory Qt did not allocate, so Qt never converts it in place: convertTo,
// and convertToFormat on an image about to be dropped, make a converted copy beside it (twice
// the memory for a moment). Use it for images kept in the format they are made in.
#pragma once

#include <QImage>
#include <QSize>

namespace LargeImage {

// From this size on, an image's pixels are mapped on their own; smaller ones come from the
// heap as usual.
constexpr qsizetype kMinBytes = qsizetype(512) * 1024;

// An image of `size` and `format` whose pixels are not yet set (like QImage(size, format)); a
// null image when the memory cannot be had.
QImage Make(QSize size, QImage::Format format);

} // namespace LargeImage
