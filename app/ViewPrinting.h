// Printing a map view with Qt Print Support, on the application's shared printer: the print
// dialog, print setup, and print preview. Every page is drawn by CZelvorView::PrintPage, which
// makes exactly one page.
#pragma once

class CZelvorView;
class QPrinter;
class QWidget;

namespace ViewPrinting {
// Shows the print dialog for `printer`; on OK prints the view's one page. False when cancelled.
bool Print(CZelvorView& view, QPrinter& printer, QWidget* parent);
// Prints the view's one page on `printer` as it is set up, without a dialog.
void PrintDirect(CZelvorView& view, QPrinter& printer);
// Shows the print preview of the view's page; returns when the preview closes.
void Preview(CZelvorView& view, QPrinter& printer, QWidget* parent);
// Lets the user choose the printer and its options for later printing. False when cancelled.
bool PrintSetup(QPrinter& printer, QWidget* parent);
} // namespace ViewPrinting
