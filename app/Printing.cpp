#include "Printing.h"

#include <QDialogButtonBox>
#include <QObject>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>

namespace {

void HideRangeOptions(QPrintDialog& dialog) {
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
}

} // namespace

Printing::Printing() = default;
Printing::~Printing() = default;

QPrinter& Printing::printer() {
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    }
    return *m_printer;
}

bool Printing::print(const QString& docName, QWidget* parent, const PagePainter& page) {
    QPrinter& target = prepareJob(docName);
    QPrintDialog dialog(&target, parent);
    dialog.setWindowTitle(QObject::tr("Print"));
    dialog.setMinMax(1, 1);
    HideRangeOptions(dialog);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    page(&target);
    return true;
}

void Printing::printDirect(const QString& docName, const PagePainter& page) {
    page(&prepareJob(docName));
}

void Printing::preview(const QString& docName, QWidget* parent, const PagePainter& page) {
    QPrintPreviewDialog preview(&prepareJob(docName), parent);
    preview.setWindowTitle(QObject::tr("Print Preview"));
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested,
                     [&page](QPrinter* target) { page(target); });
    if (parent != nullptr) {
        constexpr int kTenthsOfParent = 9;
        preview.resize(parent->size() * kTenthsOfParent / 10);
    }
    preview.exec();
}

bool Printing::printSetup(QWidget* parent) {
    QPrintDialog dialog(&printer(), parent);
    dialog.setWindowTitle(QObject::tr("Print Setup"));
    HideRangeOptions(dialog);
    // The dialog only chooses; nothing is printed now.
    for (QDialogButtonBox* buttons : dialog.findChildren<QDialogButtonBox*>()) {
        if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok)) {
            ok->setText(QObject::tr("OK"));
        }
    }
    return dialog.exec() == QDialog::Accepted;
}

QPrinter& Printing::prepareJob(const QString& docName) {
    QPrinter& target = printer();
    target.setDocName(docName);
    target.setFromTo(0, 0);
    target.setPrintRange(QPrinter::AllPages);
    return target;
}
