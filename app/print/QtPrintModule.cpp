// The print module: printing, print setup and print preview with Qt Print Support, on one
// shared printer (see PrintModule.h).
#include <QDialogButtonBox>
#include <QObject>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>

#include <memory>

#include "PrintModule.h"

namespace {

void HideRangeOptions(QPrintDialog& dialog) {
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
}

class QtPrintModule final : public PrintModule {
public:
    QPrinter& printer() override {
        if (!m_printer) {
            m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        }
        return *m_printer;
    }

    bool print(const QString& docName, QWidget* parent, const PagePainter& page) override {
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

    void printDirect(const QString& docName, const PagePainter& page) override {
        page(&prepareJob(docName));
    }

    void preview(const QString& docName, QWidget* parent, const PagePainter& page) override {
        QPrintPreviewDialog preview(&prepareJob(docName), parent);
        preview.setWindowTitle(QObject::tr("Print Preview"));
        QObject::connect(&preview, &QPrintPreviewDialog::paintRequested,
                         [&page](QPrinter* target) { page(target); });
        if (parent != nullptr) {
            preview.resize(parent->size() * 9 / 10);
        }
        preview.exec();
    }

    bool printSetup(QWidget* parent) override {
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

private:
    // A one-page job on the shared printer.
    QPrinter& prepareJob(const QString& docName) {
        QPrinter& target = printer();
        target.setDocName(docName);
        target.setFromTo(0, 0);
        target.setPrintRange(QPrinter::AllPages);
        return target;
    }

    std::unique_ptr<QPrinter> m_printer;
};

} // namespace

extern "C" Q_DECL_EXPORT PrintModule* zelvor_print_module_create() {
    return new QtPrintModule();
}
