#include "CZelvorDoc.h"

#include <QFile>

#include "DocumentArchive.h"
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
    m_strReadPath = QFile::encodeName(ar.GetFilePath()).toStdString();
    m_strReadName = QFile::encodeName(ar.GetFileName()).toStdString();
}
