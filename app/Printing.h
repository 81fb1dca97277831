// Printing, print setup and print preview with Qt Print Support, on one shared printer that is
// made the first time something is printed, set up or previewed (asking the print system for
// its printers costs time that a session which never prints should not spend).
#pragma once

#include <functional>
#include <memory>

class QPaintDevice;
class QPrinter;
class QString;
class QWidget;

class Printing {
public:
    // Draws the one page onto a printer, or onto a preview's page.
    using PagePainter = std::function<void(QPaintDevice* page)>;

    Printing();
    ~Printing();
    Printing(const Printing&) = delete;
    Printing& operator=(const Printing&) = delete;

    // The printer all printing shares (high resolution), made on first use.
    QPrinter& printer();
    // Shows the print dialog for a one-page job named `docName`; on OK prints the page. False
    // when cancelled.
    bool print(const QString& docName, QWidget* parent, const PagePainter& page);
    // Prints the page on the printer as it is set up, without a dialog.
    void printDirect(const QString& docName, const PagePainter& page);
    // Shows the print preview of the page; returns when the preview closes.
    void preview(const QString& docName, QWidget* parent, const PagePainter& page);
    // Lets the user choose the printer and its options for later printing. False when
    // cancelled.
    bool printSetup(QWidget* parent);

private:
    // A one-page job on the shared printer.
    QPrinter& prepareJob(const QString& docName);

    std::unique_ptr<QPrinter> m_printer;
};
