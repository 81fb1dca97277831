// 8-bit texts to and from Qt strings. Stored bytes are UTF-8; bytes that are not valid UTF-8
// are read as Windows-1252 so files written on Windows show their accents. Stored bytes are
// never rewritten unless the user edits the text.
#pragma once

#include <QString>

#include <string>

QString FromText8(const std::string& bytes);
std::string ToText8(const QString& text);
