// A document window: the MDI child around one map view. Its title and icon come from the
// document and the resources. Closing it first lets the view write its map; a save that fails
// and that the user does not want to discard keeps the window open.
#pragma once

#include "DocumentFrame.h"

class AppServices;
class CZelvorDoc;
class CZelvorView;

class CChildFrame : public DocumentFrame {
    Q_OBJECT
public:
    // `services` reach the view; they must outlive the frame.
    CChildFrame(CZelvorDoc& doc, AppServices& services, QWidget* parent = nullptr);

    CZelvorView* view() const { return m_view; }

    // Gives the view the picture its document read (nothing for a document that read nothing).
    void OnInitialUpdate() override;
    // The view writes its map; false keeps the window open.
    bool CanCloseFrame() override;

private:
    CZelvorView* m_view;
};
