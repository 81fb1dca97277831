#include "BuiltInIconStyle.h"

#include <QApplication>
#include <QStyleFactory>
#include <QStyleOption>

#include "ResourceImage.h"

namespace {
// The sizes, in pixels, of Qt's own images of each icon.
constexpr int kExtensionHorizontalSizes[] = {8, 16, 32};
constexpr int kExtensionVerticalSizes[] = {5, 10, 20};
constexpr int kTitleBarMaxSizes[] = {16, 32, 48};
constexpr int kClearTextSizes[] = {16};

// Qt's own images of `stem` in `sizes`, as <stem>-<size>.png.
template <std::size_t N>
QStringList CommonStyleFiles(const char* stem, const int (&sizes)[N]) {
    QStringList files;
    for (int size : sizes) {
        files.append(QStringLiteral(":/qt-project.org/styles/commonstyle/images/%1-%2.png")
                         .arg(QLatin1String(stem))
                         .arg(size));
    }
    return files;
}

// The files Fusion reads `icon` from, in the order it adds them; empty for the icons it draws
// itself or the first window does not need.
QStringList FusionIconFiles(QStyle::StandardPixmap icon, bool rightToLeft) {
    switch (icon) {
    case QStyle::SP_ToolBarHorizontalExtensionButton:
        // The arrow points the other way in a right-to-left layout.
        return CommonStyleFiles(rightToLeft ? "toolbar-ext-h-rtl" : "toolbar-ext-h",
                                kExtensionHorizontalSizes);
    case QStyle::SP_ToolBarVerticalExtensionButton:
        return CommonStyleFiles("toolbar-ext-v", kExtensionVerticalSizes);
    case QStyle::SP_TitleBarMaxButton:
        return CommonStyleFiles("titlebar-max", kTitleBarMaxSizes);
    case QStyle::SP_LineEditClearButton:
        // The Points panel's filter box.
        return CommonStyleFiles("cleartext", kClearTextSizes);
    case QStyle::SP_TitleBarMenuButton:
        // After the style's own small picture, which is no file.
        return {QStringLiteral(":/qt-project.org/qmessagebox/images/qtlogo-64.png")};
    default:
        return {};
    }
}
} // namespace

BuiltInIconStyle::BuiltInIconStyle()
    : QProxyStyle(QStyleFactory::create(QStringLiteral("fusion"))) {}

void BuiltInIconStyle::Install() {
    const QStyle* current = QApplication::style();
    if (current == nullptr || qobject_cast<const BuiltInIconStyle*>(current) != nullptr) {
        return;
    }
    if (current->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) == 0) {
        QApplication::setStyle(new BuiltInIconStyle);
    }
}

QIcon BuiltInIconStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption* option,
                                     const QWidget* widget) const {
    const bool rightToLeft =
        option != nullptr ? option->direction == Qt::RightToLeft : QGuiApplication::isRightToLeft();
    const QStringList files = FusionIconFiles(standardIcon, rightToLeft);
    if (files.isEmpty()) {
        return QProxyStyle::standardIcon(standardIcon, option, widget);
    }
    QIcon icon;
    if (standardIcon == SP_TitleBarMenuButton) {
        icon.addPixmap(QProxyStyle::standardPixmap(standardIcon, option, widget));
    }
    for (const QString& file : files) {
        const QPixmap pixmap = LoadResourcePng(file);
        if (pixmap.isNull()) {
            return QProxyStyle::standardIcon(standardIcon, option, widget);
        }
        icon.addPixmap(pixmap);
    }
    return icon;
}
