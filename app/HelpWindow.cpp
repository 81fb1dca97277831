#include "HelpWindow.h"

#include <QDialogButtonBox>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "Resources.h"

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent), m_browser(new QTextBrowser(this)) {
    setWindowTitle(tr("Zelvor Help"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(false);
    m_browser->setOpenExternalLinks(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_browser);
    layout->addWidget(buttons);
    constexpr QSize kFirstSize(640, 560);
    resize(kFirstSize);
}

void HelpWindow::ShowContents() {
    const QUrl url = Resources::HelpPageUrl();
    if (url.isValid() && !url.isEmpty()) {
        m_browser->setSource(url);
    } else {
        m_browser->setHtml(Resources::HelpPageHtml());
    }
    m_browser->scrollToAnchor(QString());
    show();
    raise();
    activateWindow();
}
