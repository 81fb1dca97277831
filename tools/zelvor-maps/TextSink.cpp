#include "TextSink.h"

#include <unistd.h>

namespace {
constexpr std::size_t kBlock = 1 << 16;
}

TextSink::TextSink(std::FILE* file) : m_file(file) {
    m_buffer.reserve(kBlock);
}

TextSink::~TextSink() {
    flush();
}

void TextSink::write(std::string_view bytes) {
    m_buffer.append(bytes);
    if (m_buffer.size() >= kBlock) {
        if (std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file) != m_buffer.size()) {
            m_failed = true;
        }
        m_buffer.clear();
    }
}

void TextSink::write(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    write(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

void TextSink::put(char c) {
    write(std::string_view(&c, 1));
}

bool TextSink::flush() {
    if (!m_buffer.empty() &&
        std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file) != m_buffer.size()) {
        m_failed = true;
    }
    m_buffer.clear();
    if (std::fflush(m_file) != 0) {
        m_failed = true;
    }
    return !m_failed;
}

bool TextSink::isTerminal() const {
    return ::isatty(::fileno(m_file)) == 1;
}

void ReportError(TextSink& err, std::string_view message) {
    err.write("zelvor-maps: ");
    err.write(message);
    err.put('\n');
    err.flush();
}
