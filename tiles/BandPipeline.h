// Reading a picture and building from its rows on two threads: the calling thread only reads
// bands of rows (the decode, which cannot be split), a worker thread takes each band in turn
// and does everything else with it (halving, encoding and writing tiles). A fixed set of band
// images goes round between the two, so the memory stays at `bands` bands however far the
// reading runs ahead; the reader waits for a free band when it is that far ahead.
#pragma once

#include <QImage>
#include <QSize>

#include <atomic>
#include <functional>

namespace tiles::BandPipeline {

// Fills `band` from its top; returns the rows filled, and sets `last` when no rows follow.
using Produce = std::function<int(QImage& band, bool& last)>;
// Takes the first `rows` rows of `band` (its own until it returns), on the worker; false
// stops the pipeline.
using Consume = std::function<bool(QImage& band, int rows)>;

// Runs until `produce` says last, `consume` says false, or `cancelled` is set; every band
// produced before is consumed (unless consume stopped). False when consume stopped or a band
// image could not be had. `bands` is at least 2.
bool Run(QSize bandSize, QImage::Format format, int bands, const Produce& produce,
         const Consume& consume, const std::atomic<bool>& cancelled);

} // namespace tiles::BandPipeline
