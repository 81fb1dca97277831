// Printing through QPrinter to a PDF file: one page, the picture at the physical size it has on
// the screen, the points present or absent with Show Texts; the preview draws that one page;
// Print Setup chooses without printing.
#include <QDialogButtonBox>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>

#include <array>
#include <vector>

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "ActionBuilder.h"
#include "CMainFrame.h"
#include "CZelvorApp.h"
#include "CZelvorView.h"
#include "DocumentManager.h"
#include "Printing.h"
#include "Resources.h"

namespace {
// Where a page's content stream draws its images: the width and height, in points, of the
// transformation in force at each "Do" of an image (q/Q nesting and cm products followed).
struct PlacedImage {
    double width = 0;
    double height = 0;
};

using Matrix = std::array<double, 6>;

Matrix Multiply(const Matrix& m, const Matrix& ctm) {
    return {m[0] * ctm[0] + m[1] * ctm[2],          m[0] * ctm[1] + m[1] * ctm[3],
            m[2] * ctm[0] + m[3] * ctm[2],          m[2] * ctm[1] + m[3] * ctm[3],
            m[4] * ctm[0] + m[5] * ctm[2] + ctm[4], m[4] * ctm[1] + m[5] * ctm[3] + ctm[5]};
}

std::vector<PlacedImage> PlacedImages(const QByteArray& content) {
    std::vector<PlacedImage> images;
    std::vector<Matrix> stack;
    Matrix ctm{1, 0, 0, 1, 0, 0};
    std::vector<double> operands;
    QByteArray lastName;
    for (const QByteArray& token : content.simplified().split(' ')) {
        bool isNumber = false;
        const double value = token.toDouble(&isNumber);
        if (isNumber) {
            operands.push_back(value);
            continue;
        }
        if (token.startsWith('/')) {
            lastName = token;
            continue;
        }
        if (token == "q") {
            stack.push_back(ctm);
        } else if (token == "Q" && !stack.empty()) {
            ctm = stack.back();
            stack.pop_back();
        } else if (token == "cm" && operands.size() >= 6) {
            const std::size_t n = operands.size();
            const Matrix m{operands[n - 6], operands[n - 5], operands[n - 4],
                           operands[n - 3], operands[n - 2], operands[n - 1]};
            ctm = Multiply(m, ctm);
        } else if (token == "Do" && lastName.startsWith("/Im")) {
            images.push_back({std::hypot(ctm[0], ctm[1]), std::hypot(ctm[2], ctm[3])});
        }
        operands.clear();
    }
    return images;
}

// The page content: the one stream that draws images or text.
QByteArray PageContent(const QByteArray& pdf) {
    for (const QByteArray& stream : PdfStreams(pdf)) {
        if (stream.contains(" cm") && (stream.contains(" Do") || stream.contains("BT"))) {
            return stream;
        }
    }
    return {};
}

class PrintTest : public AppTest {
protected:
    // Opens a 1000 x 500 picture in a view 800 pixels wide (fit mode) with one labelled point.
    void OpenPicture() {
        const QString picture = WritePicture("plan.png", {1000, 500}, QColor(30, 120, 200));
        app = StartApp();
        ASSERT_TRUE(app);
        ASSERT_NE(app->documents()->OpenDocumentFile(picture), nullptr);
        view = app->activeView();
        ASSERT_NE(view, nullptr);
        QMdiSubWindow* frame = app->mainFrame()->mdiArea()->currentSubWindow();
        frame->resize(800 + frame->width() - view->width(), 500);
        Settle();
        ASSERT_EQ(view->width(), 800);
        PointRecord rec = FactoryDefaults();
        rec.dX = 100;
        rec.dY = 100;
        view->map().Add({rec, "Label", "", ""});
    }

    // The shared printer.
    QPrinter& Printer() { return app->printing().printer(); }

    // Prints through File > Print with the dialog accepted, into a PDF file; returns its bytes.
    QByteArray PrintToPdf(const QString& name) {
        QPrinter& printer = Printer();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(baseDir() + "/" + name);
        // A page wider than the picture, so nothing is cut off.
        printer.setPageOrientation(QPageLayout::Landscape);
        AnswerNext<QPrintDialog>([](QPrintDialog* dialog) { dialog->accept(); });
        EXPECT_TRUE(app->mainFrame()->commands().execute(ID_FILE_PRINT));
        return ReadAll(baseDir() + "/" + name);
    }

    void TearDown() override {
        if (app) {
            QuitApp(app);
        }
        AppTest::TearDown();
    }

    std::unique_ptr<CZelvorApp> app;
    CZelvorView* view = nullptr;
};
} // namespace

TEST_F(PrintTest, OnePageWithThePictureAtItsScreenSizeAndItsPoints) {
    OpenPicture();
    const QByteArray pdf = PrintToPdf("points.pdf");
    ASSERT_FALSE(pdf.isEmpty());
    EXPECT_EQ(PdfPageCount(pdf), 1);
    const QByteArray content = PageContent(pdf);
    const std::vector<PlacedImage> images = PlacedImages(content);
    ASSERT_EQ(images.size(), 1u) << content.left(400).toStdString();

    // One screen pixel prints as 1/dpi inch: 800 pixels at 96 dpi are 8 1/3 inches, 600 points.
    const double dpi = view->logicalDpiX();
    EXPECT_NEAR(images[0].width, 800.0 / dpi * 72.0, 0.5);
    EXPECT_NEAR(images[0].height, 400.0 / view->logicalDpiY() * 72.0, 0.5);
    if (dpi == 96) {
        EXPECT_NEAR(images[0].width, 600.0, 0.5);
    }
    // The point's label is text on the page; its centre pixel and cross are filled rectangles.
    EXPECT_TRUE(content.contains("BT"));
    EXPECT_TRUE(content.contains(" re"));
}

TEST_F(PrintTest, ShowTextsOffPrintsTheBarePicture) {
    OpenPicture();
    EXPECT_TRUE(app->mainFrame()->commands().execute(ID_VIEW_SHOWTEXTS));
    ASSERT_FALSE(view->IsShowTexts());
    const QByteArray pdf = PrintToPdf("bare.pdf");
    EXPECT_EQ(PdfPageCount(pdf), 1);
    const QByteArray content = PageContent(pdf);
    EXPECT_EQ(PlacedImages(content).size(), 1u);
    EXPECT_FALSE(content.contains("BT"));
    EXPECT_FALSE(content.contains(" re"));
}

TEST_F(PrintTest, CancellingThePrintDialogPrintsNothing) {
    OpenPicture();
    QPrinter& printer = Printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(baseDir() + "/never.pdf");
    AnswerNext<QPrintDialog>([](QPrintDialog* dialog) { dialog->reject(); });
    EXPECT_TRUE(app->mainFrame()->commands().execute(ID_FILE_PRINT));
    EXPECT_FALSE(QFile::exists(baseDir() + "/never.pdf"));
}

TEST_F(PrintTest, PreviewShowsOnePageAndPrintSetupOnlyChooses) {
    OpenPicture();
    int pages = -1;
    QString title;
    AnswerNext<QPrintPreviewDialog>([&](QPrintPreviewDialog* preview) {
        title = preview->windowTitle();
        if (auto* widget = preview->findChild<QPrintPreviewWidget*>()) {
            widget->updatePreview();
            pages = widget->pageCount();
        }
        preview->reject();
    });
    EXPECT_TRUE(app->mainFrame()->commands().execute(ID_FILE_PRINT_PREVIEW));
    EXPECT_EQ(pages, 1);
    EXPECT_EQ(title, "Print Preview");

    QString setupTitle;
    QString okText;
    AnswerNext<QPrintDialog>([&](QPrintDialog* dialog) {
        setupTitle = dialog->windowTitle();
        if (auto* buttons = dialog->findChild<QDialogButtonBox*>()) {
            if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok)) {
                okText = ok->text();
            }
        }
        dialog->accept();
    });
    Printer().setOutputFormat(QPrinter::PdfFormat);
    Printer().setOutputFileName(baseDir() + "/setup.pdf");
    EXPECT_TRUE(app->mainFrame()->commands().execute(ID_FILE_PRINT_SETUP));
    EXPECT_EQ(setupTitle, "Print Setup");
    EXPECT_EQ(okText, "OK");
    EXPECT_FALSE(QFile::exists(baseDir() + "/setup.pdf"));
}
