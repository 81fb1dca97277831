#include "CZelvorDoc.h"

#include <QFile>

#include "DocumentArchive.h"
#include "Globals.h"
#include "OpenMap.h"

CZelvorDoc::CZelvorDoc() : m_map(std::make_shared<OpenMap>()) {}

CZelvorDoc::~CZelvorDoc() = default;

bool CZelvorDoc::OnNewDocument() {
    return Document::OnNewDocument();
}

void CZelvorDoc::Serialize(DocumentArchive& ar) {
    if (!ar.IsLoading()) {
        return;
    }
    g_strOpenPath = QFile::encodeName(ar.GetFilePath()).toStdString();
    g_strOpenName = QFile::encodeName(ar.GetFileName()).toStdString();
    m_strReadPath = g_strOpenPath;
    m_strReadName = g_strOpenName;
}
