// The font dialog with a colour box: Qt's font chooser (family, style, size, strike-out and
// underline, sample) above a choice of the sixteen basic colours, with OK and Cancel. It
// starts at the given font and colour and hands back both.
#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QString>

#include <array>

class QComboBox;
class QFontDialog;

class FontColorDialog : public QDialog {
    Q_OBJECT
public:
    struct BasicColor {
        const char* name;
        QRgb rgb;
    };
    // Black, maroon, green, olive, navy, purple, teal, gray, silver, red, lime, yellow, blue,
    // fuchsia, aqua, white: the colours such a box has always offered, in that order.
    static const std::array<BasicColor, 16>& BasicColors();

    // A colour that is not one of the sixteen is added to the list, so it is still offered.
    explicit FontColorDialog(const QFont& initialFont, const QColor& initialColor = Qt::black,
                             QWidget* parent = nullptr);

    // The chosen font, sized in pixels for this dialog's screen (points converted at its
    // logical dots per inch, rounded), so that it draws at the size the user saw listed.
    QFont selectedFont() const;
    // Selects `font` (sized in pixels or points) in the chooser, by the family and style it
    // resolves to.
    void setCurrentFont(const QFont& font);
    QColor selectedColor() const;

    QFontDialog* fontChooser() const { return m_fontChooser; }
    QComboBox* colorChooser() const { return m_colorChooser; }

    // Runs the dialog modally over `parent`, starting at `font` and `color`; on OK stores the
    // choice in both and returns true; on Cancel leaves them as they are.
    static bool GetFontAndColor(QWidget* parent, QFont& font, QColor& color);

private:
    void selectColor(const QColor& color);
    void showColorInSample();

    QFontDialog* m_fontChooser;
    QComboBox* m_colorChooser;
};
