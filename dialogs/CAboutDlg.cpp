#include "CAboutDlg.h"

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "DialogTemplate.h"
#include "Resources.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("About Zelvor"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setModal(true);

    DialogTemplate dlg(this, 235, 113);

    // Icon 128 at its own 32 x 32 size, as an icon static shows it, from the top-left corner of
    // its 20 x 20 unit rectangle (about that size at the dialog font).
    QIcon icon = Resources::Icon(IDR_MAINFRAME);
    if (icon.isNull()) {
        icon = QApplication::windowIcon();
    }
    auto* iconLabel = dlg.place(new QLabel(this), -1, 11, 17, 20, 20);
    iconLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    iconLabel->resize(iconLabel->size().expandedTo(QSize(32, 32)));
    iconLabel->setPixmap(icon.pixmap(QSize(32, 32), devicePixelRatio()));

    auto* version = dlg.place(new QLabel(tr("Zelvor Version 1.2"), this), -1, 40, 10, 119, 8);
    version->setTextFormat(Qt::PlainText);
    version->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* ok = dlg.place(new QPushButton(tr("OK"), this), 1, 178, 7, 50, 16);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
