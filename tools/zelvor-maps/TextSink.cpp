#include "TextSink.h"

#include <unistd.h>

TextSink::TextSink(std::FILE* file) : m_file(file) {
    m_buffer.reserve(kBlock);
}

TextSink::~TextSink() {
    flush();
}

void TextSink::drain() {
    if (std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file) != m_buffer.size()) {
        m_failed = true;
    }
    m_buffer.clear();
}

void TextSink::write(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    write(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

bool TextSink::flush() {
    if (!m_buffer.empty()) {
        drain();
    }
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
