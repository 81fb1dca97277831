// The files the tool reads and writes besides maps: the CSV input of import (or standard input
// for "-") and the picture render writes (or standard output for "-"). Only regular files are
// read or replaced: a FIFO, device or socket named as a file is refused without waiting.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <string>

#include "ByteStreams.h"
#include "FileResult.h"

class TextSink;

// "-": the file operand that stands for standard input or output.
bool IsStandardStream(const QString& path);

// Reads all of `path` ("-": standard input) into `bytes`, never more than `cap` + 1 bytes
// however long the file grows or the stream runs. False with `why` (naming neither the file nor
// the tool) when the file does not exist ("no such file"), is not a regular file, cannot be
// read, or holds more than `cap` bytes.
bool ReadInputFile(const QString& path, std::size_t cap, QByteArray& bytes, std::string& why);

// Whether `path` names an existing regular file; false with `why` ("no such file", "not a
// regular file", ...) otherwise. Opening never waits, whatever the file is.
bool IsReadableRegularFile(const QString& path, std::string& why);

// Writes what `produce` writes to `path`: "-" goes to `out` (flushed; a failed write fails),
// any other path is replaced atomically (a failure leaves the old file, and an existing path
// that is not a regular file, followed through links, is refused). The result names the file
// and the reason on failure.
FileResult WriteOutputFile(const QString& path, const std::function<void(ByteSink&)>& produce,
                           TextSink& out);
