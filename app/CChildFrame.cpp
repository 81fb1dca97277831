#include "CChildFrame.h"

#include "CZelvorDoc.h"
#include "CZelvorView.h"
#include "Resources.h"

CChildFrame::CChildFrame(CZelvorDoc& doc, AppServices& services, QWidget* parent)
    : DocumentFrame(doc, parent), m_view(new CZelvorView(services, this)) {
    m_view->SetMap(doc.map());
    setWidget(m_view);
    setWindowIcon(Resources::Icon(IDR_ZelvorTYPE));
    setFocusProxy(m_view);
    // A map that did not reach the disk shows in the title; hovering it tells why.
    connect(&m_view->mapSaver(), &MapSaver::stateChanged, this, [this] {
        const QString& problem = m_view->mapSaver().problem();
        setTitleMarker(problem.isEmpty() ? QString() : tr(" (not saved)"), problem);
    });
}

void CChildFrame::OnInitialUpdate() {
    const auto* doc = qobject_cast<const CZelvorDoc*>(document());
    if (doc != nullptr) {
        m_view->OnInitialUpdate(doc->readPath(), doc->readName());
    } else {
        m_view->OnInitialUpdate({}, {});
    }
    m_view->setFocus();
}

bool CChildFrame::CanCloseFrame() {
    return m_view->CloseMap();
}
