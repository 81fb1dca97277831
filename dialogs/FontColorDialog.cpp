#include "FontColorDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// The colour list's swatch, in pixels.
constexpr QSize kSwatchSize(24, 12);
// A point is 1/72 inch.
constexpr qreal kPointsPerInch = 72.0;

QIcon SwatchIcon(const QColor& color) {
    QPixmap pixmap(kSwatchSize);
    pixmap.fill(color);
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, pixmap.width() - 1, pixmap.height() - 1);
    return QIcon(pixmap);
}

// The font as the font chooser lists it: the family and style it really resolves to (a face
// that is not installed or a generic one is not in the list, and without a listed style the
// chooser falls back to the first, say "Oblique"), and the size in points, where the record
// keeps pixels. Converts at `dpi`.
QFont InPoints(QFont font, qreal dpi) {
    const QFontInfo resolved(font);
    font.setFamilies({resolved.family()});
    font.setStyleName(resolved.styleName());
    if (font.pixelSize() > 0 && dpi > 0) {
        font.setPointSizeF(font.pixelSize() * kPointsPerInch / dpi);
    }
    return font;
}

QFont InPixels(QFont font, qreal dpi) {
    if (font.pixelSize() <= 0 && font.pointSizeF() > 0 && dpi > 0) {
        font.setPixelSize(std::max(1, int(std::lround(font.pointSizeF() * dpi / kPointsPerInch))));
    }
    return font;
}

} // namespace

const std::array<FontColorDialog::BasicColor, 16>& FontColorDialog::BasicColors() {
    static const std::array<BasicColor, 16> colors = {{
        {QT_TR_NOOP("Black"), qRgb(0x00, 0x00, 0x00)},
        {QT_TR_NOOP("Maroon"), qRgb(0x80, 0x00, 0x00)},
        {QT_TR_NOOP("Green"), qRgb(0x00, 0x80, 0x00)},
        {QT_TR_NOOP("Olive"), qRgb(0x80, 0x80, 0x00)},
        {QT_TR_NOOP("Navy"), qRgb(0x00, 0x00, 0x80)},
        {QT_TR_NOOP("Purple"), qRgb(0x80, 0x00, 0x80)},
        {QT_TR_NOOP("Teal"), qRgb(0x00, 0x80, 0x80)},
        {QT_TR_NOOP("Gray"), qRgb(0x80, 0x80, 0x80)},
        {QT_TR_NOOP("Silver"), qRgb(0xC0, 0xC0, 0xC0)},
        {QT_TR_NOOP("Red"), qRgb(0xFF, 0x00, 0x00)},
        {QT_TR_NOOP("Lime"), qRgb(0x00, 0xFF, 0x00)},
        {QT_TR_NOOP("Yellow"), qRgb(0xFF, 0xFF, 0x00)},
        {QT_TR_NOOP("Blue"), qRgb(0x00, 0x00, 0xFF)},
        {QT_TR_NOOP("Fuchsia"), qRgb(0xFF, 0x00, 0xFF)},
        {QT_TR_NOOP("Aqua"), qRgb(0x00, 0xFF, 0xFF)},
        {QT_TR_NOOP("White"), qRgb(0xFF, 0xFF, 0xFF)},
    }};
    return colors;
}

FontColorDialog::FontColorDialog(const QFont& initialFont, const QColor& initialColor,
                                 QWidget* parent)
    : QDialog(parent), m_fontChooser(new QFontDialog(this)), m_colorChooser(new QComboBox(this)) {
    setWindowTitle(tr("Font"));

    // Qt's font dialog as a plain child widget: its lists, effects and sample, no buttons.
    m_fontChooser->setWindowFlags(Qt::Widget);
    m_fontChooser->setOptions(QFontDialog::NoButtons);
    m_fontChooser->setSizeGripEnabled(false);
    setCurrentFont(initialFont);

    for (const BasicColor& basic : BasicColors()) {
        const QColor color = QColor::fromRgb(basic.rgb);
        m_colorChooser->addItem(SwatchIcon(color), tr(basic.name), color);
    }
    selectColor(initialColor);

    auto* colorLabel = new QLabel(tr("&Color:"), this);
    colorLabel->setBuddy(m_colorChooser);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(colorLabel);
    bottom->addWidget(m_colorChooser);
    bottom->addStretch(1);
    bottom->addWidget(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_fontChooser);
    layout->addLayout(bottom);

    connect(m_colorChooser, &QComboBox::currentIndexChanged, this,
            &FontColorDialog::showColorInSample);
    connect(m_fontChooser, &QFontDialog::currentFontChanged, this,
            &FontColorDialog::showColorInSample);
    showColorInSample();
}

QFont FontColorDialog::selectedFont() const {
    return InPixels(m_fontChooser->currentFont(), logicalDpiY());
}

void FontColorDialog::setCurrentFont(const QFont& font) {
    m_fontChooser->setCurrentFont(InPoints(font, logicalDpiY()));
}

QColor FontColorDialog::selectedColor() const {
    return m_colorChooser->currentData().value<QColor>();
}

bool FontColorDialog::GetFontAndColor(QWidget* parent, QFont& font, QColor& color) {
    // On the heap: whatever deletes `parent` while the dialog runs deletes it exactly once.
    const QPointer<FontColorDialog> dialog = new FontColorDialog(font, color, parent);
    const bool accepted = dialog->exec() == QDialog::Accepted && !dialog.isNull();
    if (accepted) {
        font = dialog->selectedFont();
        color = dialog->selectedColor();
    }
    delete dialog.data();
    return accepted;
}

void FontColorDialog::selectColor(const QColor& color) {
    const QColor opaque = QColor::fromRgb(color.rgb());
    int index = m_colorChooser->findData(opaque);
    if (index < 0) {
        m_colorChooser->addItem(SwatchIcon(opaque), opaque.name(), opaque);
        index = m_colorChooser->count() - 1;
    }
    m_colorChooser->setCurrentIndex(index);
}

// The sample line sits in the font chooser's only group box that holds a line edit; when it is
// found, its text takes the chosen colour so the sample shows font and colour together.
void FontColorDialog::showColorInSample() {
    for (QLineEdit* edit : m_fontChooser->findChildren<QLineEdit*>()) {
        if (qobject_cast<QGroupBox*>(edit->parentWidget()) != nullptr) {
            QPalette palette = edit->palette();
            palette.setColor(QPalette::Text, selectedColor());
            edit->setPalette(palette);
        }
    }
}
