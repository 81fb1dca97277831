#include "Document.h"

#include <QFileInfo>

#include "DocumentArchive.h"
#include "DocumentFrame.h"

Document::~Document() {
    for (DocumentFrame* frame : m_frames) {
        frame->detachDocument();
    }
}

void Document::Serialize(DocumentArchive&) {}

void Document::SetPathName(const QString& path) {
    m_pathName = path;
    SetTitle(QFileInfo(path).fileName());
}

void Document::SetTitle(const QString& title) {
    m_title = title;
    UpdateFrameTitles();
    emit titleChanged(this);
}

void Document::AddFrame(DocumentFrame* frame) {
    if (frame != nullptr && !m_frames.contains(frame)) {
        m_frames.append(frame);
        UpdateFrameTitles();
    }
}

void Document::RemoveFrame(DocumentFrame* frame) {
    if (!m_frames.removeOne(frame)) {
        return;
    }
    if (m_frames.isEmpty()) {
        emit lastFrameClosed(this);
    } else {
        UpdateFrameTitles();
    }
}

void Document::UpdateFrameTitles() {
    if (m_frames.size() == 1) {
        m_frames.front()->setFrameTitle(m_title);
        return;
    }
    for (int i = 0; i < m_frames.size(); ++i) {
        m_frames.at(i)->setFrameTitle(QStringLiteral("%1:%2").arg(m_title).arg(i + 1));
    }
}
