// Printing a map view: the print dialog, printing without one, and print preview, through the
// shared printing (Printing.h). Every page is drawn by CZelvorView::PrintPage,
// which makes exactly one page.
#pragma once

class CZelvorView;
class Printing;
class QWidget;

namespace ViewPrinting {
// Shows the print dialog; on OK prints the view's one page. False when cancelled.
bool Print(Printing& printing, CZelvorView& view, QWidget* parent);
// Prints the view's one page on the printer as it is set up, without a dialog.
void PrintDirect(Printing& printing, CZelvorView& view);
// Shows the print preview of the view's page; returns when the preview closes.
void Preview(Printing& printing, CZelvorView& view, QWidget* parent);
} // namespace ViewPrinting
