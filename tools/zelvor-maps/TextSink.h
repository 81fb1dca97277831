// Buffered output to a C stream (standard output, standard error or a file): bytes go out in
// large blocks, so a listing of a million points is not a million small writes, and nothing but
// the bytes given is written (no colours, no progress), so output pipes cleanly.
#pragma once

#include <QString>

#include <cstdio>
#include <string>
#include <string_view>

// What stands for the rest of a text cut short for showing (an ellipsis).
inline constexpr QChar kEllipsis(char16_t(0x2026));

class TextSink {
public:
    // Does not own `file`.
    explicit TextSink(std::FILE* file);
    ~TextSink();
    TextSink(const TextSink&) = delete;
    TextSink& operator=(const TextSink&) = delete;

    // Inline: a listing calls these a few dozen times per point.
    void write(std::string_view bytes) {
        m_buffer.append(bytes);
        if (m_buffer.size() >= kBlock) {
            drain();
        }
    }
    void put(char c) {
        m_buffer.push_back(c);
        if (m_buffer.size() >= kBlock) {
            drain();
        }
    }
    void write(const char* text) { write(std::string_view(text)); }
    void write(const std::string& text) { write(std::string_view(text)); }
    void write(const QString& text);
    // Hands the buffered bytes to the stream and flushes it; false once any write has failed.
    bool flush();
    // True when the stream is a terminal (a person is watching).
    bool isTerminal() const;

private:
    static constexpr std::size_t kBlock = 1 << 16;
    // Hands the buffer to the stream.
    void drain();

    std::FILE* m_file;
    std::string m_buffer;
    bool m_failed = false;
};

// "zelvor-maps: <message>" and a line break on `err`, flushed at once.
void ReportError(TextSink& err, std::string_view message);
