// Writing a picture with its points to an image or PDF file, painted by the viewer's own page
// painter (PagePainter): as the window shows it, or as a printed page.
#pragma once

#include <QString>

#include <cstdint>

class TextSink;

enum class OutputKind { Png, Jpeg, Pdf };

// The kind OUT's extension names (.png, .jpg, .jpeg, .pdf, any case); false for others.
bool OutputKindOf(const QString& path, OutputKind& kind);
// The kind a --type value names (png, jpeg or jpg, pdf); false for others.
bool OutputKindNamed(const QString& name, OutputKind& kind);

struct RenderOptions {
    QString baseDir = QStringLiteral(".");
    QString picture;
    QString output; // "-": standard output
    OutputKind kind = OutputKind::Png;
    int width = 0;   // > 0: fitted to this width, as the window shows it in fit mode
    double zoom = 0; // > 0: at this zoom; neither: full size
    bool points = true;
    std::int64_t now = 0; // the moment drawn, seconds since 1970 UTC
};

// PNG and JPEG: the drawn size's pixels exactly as the window surface holds them after a full
// repaint and one tick at `now` (flash phases as the map stores them; the map is not written).
// PDF: one page of the drawn size's physical size on the screen, painted as a printed page.
// The output is replaced atomically: any failure (of the encoder, the painter or the file system,
// a full disk included) leaves an existing file as it was and fails with the reason. An
// existing output that is not a regular file (followed through links) is refused; "-" writes
// to `out`. A picture that does not exist or is not a regular file, a picture or map that
// cannot be read, or a drawn size beyond the limits fails with the reason. On a terminal, a
// render taking over a second shows its progress on `err`.
int RunRender(const RenderOptions& options, TextSink& out, TextSink& err);
