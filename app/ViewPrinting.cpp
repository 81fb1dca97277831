#include "ViewPrinting.h"

#include <QDialogButtonBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>

#include "CZelvorView.h"
#include "DocumentFrame.h"

namespace {
void PrepareJob(CZelvorView& view, QPrinter& printer) {
    const QWidget* frame = view.parentWidget();
    printer.setDocName(frame != nullptr ? frame->windowTitle() : QStringLiteral("Zelvor"));
    printer.setFromTo(0, 0);
    printer.setPrintRange(QPrinter::AllPages);
}
} // namespace

namespace ViewPrinting {

bool Print(CZelvorView& view, QPrinter& printer, QWidget* parent) {
    // The view's window stays until the dialog has returned, even if it is closed meanwhile.
    const DocumentFrame::DialogScope scope(&view);
    PrepareJob(view, printer);
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QObject::tr("Print"));
    dialog.setMinMax(1, 1);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    view.PrintPage(&printer);
    return true;
}

void PrintDirect(CZelvorView& view, QPrinter& printer) {
    PrepareJob(view, printer);
    view.PrintPage(&printer);
}

void Preview(CZelvorView& view, QPrinter& printer, QWidget* parent) {
    const DocumentFrame::DialogScope scope(&view);
    PrepareJob(view, printer);
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle(QObject::tr("Print Preview"));
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &view,
                     [&view](QPrinter* target) { view.PrintPage(target); });
    if (parent != nullptr) {
        preview.resize(parent->size() * 9 / 10);
    }
    preview.exec();
}

bool PrintSetup(QPrinter& printer, QWidget* parent) {
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QObject::tr("Print Setup"));
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    // The dialog only chooses; nothing is printed now.
    for (QDialogButtonBox* buttons : dialog.findChildren<QDialogButtonBox*>()) {
        if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok)) {
            ok->setText(QObject::tr("OK"));
        }
    }
    return dialog.exec() == QDialog::Accepted;
}

} // namespace ViewPrinting
