#include "CAboutDlg.h"

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "DialogTemplate.h"
#include "Resources.h"

namespace {

// The template, in dialog units: the client size and each control's rectangle.
constexpr int kDialogWidth = 235;
constexpr int kDialogHeight = 113;
constexpr QRect kIconBox(11, 17, 20, 20);
constexpr QRect kVersionBox(40, 10, 119, 8);
constexpr QRect kOkBox(178, 7, 50, 16);
constexpr int kNoId = -1;
constexpr int kIdOk = 1; // the OK button's standard id
// An icon static shows the icon at its own size, whatever its rectangle.
constexpr QSize kIconSize(32, 32);

} // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("About Zelvor"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setModal(true);

    DialogTemplate dlg(this, kDialogWidth, kDialogHeight);

    // Icon 128 at its own 32 x 32 size, as an icon static shows it, from the top-left corner of
    // its 20 x 20 unit rectangle (about that size at the dialog font).
    QIcon icon = Resources::Icon(IDR_MAINFRAME);
    if (icon.isNull()) {
        icon = QApplication::windowIcon();
    }
    auto* iconLabel = dlg.place(new QLabel(this), kNoId, kIconBox);
    iconLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    iconLabel->resize(iconLabel->size().expandedTo(kIconSize));
    iconLabel->setPixmap(icon.pixmap(kIconSize, devicePixelRatio()));

    auto* version = dlg.place(new QLabel(tr("Zelvor Version 1.2"), this), kNoId, kVersionBox);
    version->setTextFormat(Qt::PlainText);
    version->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* ok = dlg.place(new QPushButton(tr("OK"), this), kIdOk, kOkBox);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
