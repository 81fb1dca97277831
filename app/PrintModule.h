// Printing with Qt Print Support, kept in a module of its own (zelvor-print) that is loaded the
// first time something is printed, set up or previewed. Loading that library costs every
// start-up a millisecond or more, and most sessions never print.
//
// Neither this header nor its callers need Qt Print Support: the printer is only named here.
#pragma once

#include <functional>
#include <memory>

class QPaintDevice;
class QPrinter;
class QString;
class QWidget;

class PrintModule {
public:
    // Draws the one page onto a printer, or onto a preview's page.
    using PagePainter = std::function<void(QPaintDevice* page)>;

    virtual ~PrintModule() = default;

    // The printer all printing shares (high resolution), made on first use.
    virtual QPrinter& printer() = 0;
    // Shows the print dialog for a one-page job named `docName`; on OK prints the page. False
    // when cancelled.
    virtual bool print(const QString& docName, QWidget* parent, const PagePainter& page) = 0;
    // Prints the page on the printer as it is set up, without a dialog.
    virtual void printDirect(const QString& docName, const PagePainter& page) = 0;
    // Shows the print preview of the page; returns when the preview closes.
    virtual void preview(const QString& docName, QWidget* parent, const PagePainter& page) = 0;
    // Lets the user choose the printer and its options for later printing. False when
    // cancelled.
    virtual bool printSetup(QWidget* parent) = 0;

    // Loads the module (once per process) and makes its printing; null with `*error` set
    // when the module cannot be found or loaded.
    static std::unique_ptr<PrintModule> Create(QString* error);
};

// What the module exports: a new PrintModule, owned by the caller.
using ZelvorPrintModuleFactory = PrintModule* (*)();
#define ZELVOR_PRINT_MODULE_FACTORY "zelvor_print_module_create"
