#include "ViewPrinting.h"

#include "CZelvorView.h"
#include "DocumentFrame.h"
#include "Printing.h"

namespace {

// The job's name: the document window's title.
QString DocName(const CZelvorView& view) {
    const QWidget* frame = view.parentWidget();
    return frame != nullptr ? frame->windowTitle() : QStringLiteral("Zelvor");
}

Printing::PagePainter PageOf(CZelvorView& view) {
    return [&view](QPaintDevice* page) {
        view.PrintPage(page);
    };
}

} // namespace

namespace ViewPrinting {

bool Print(Printing& printing, CZelvorView& view, QWidget* parent) {
    // The view's window stays until the dialog has returned, even if it is closed meanwhile.
    const DocumentFrame::DialogScope scope(&view);
    return printing.print(DocName(view), parent, PageOf(view));
}

void PrintDirect(Printing& printing, CZelvorView& view) {
    printing.printDirect(DocName(view), PageOf(view));
}

void Preview(Printing& printing, CZelvorView& view, QWidget* parent) {
    const DocumentFrame::DialogScope scope(&view);
    printing.preview(DocName(view), parent, PageOf(view));
}

} // namespace ViewPrinting
