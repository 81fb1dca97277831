// The document of an opened picture. It reads no byte of the file: reading it remembers the
// file's full path and name, which every window on this document (Window > New Window too)
// shows. A document
// that read nothing (File New, a zero-byte file) gives blank views.
//
// It owns the picture's map: the points, their history and their saving, shared by every view
// of the document; the map is read by the first view whose picture decoded.
#pragma once

#include <memory>
#include <string>

#include "Document.h"

class OpenMap;

class CZelvorDoc : public Document {
    Q_OBJECT
public:
    CZelvorDoc();
    ~CZelvorDoc() override;

    bool OnNewDocument() override;
    // Loading: remembers the full path and the file name.
    // Storing: writes nothing.
    void Serialize(DocumentArchive& ar) override;

    // The picture this document read (8-bit file-system encoding); empty when it read nothing.
    const std::string& readPath() const { return m_strReadPath; }
    const std::string& readName() const { return m_strReadName; }

    // The map every view of this document shows and edits.
    const std::shared_ptr<OpenMap>& map() const { return m_map; }

private:
    std::shared_ptr<OpenMap> m_map;
    std::string m_strReadPath;
    std::string m_strReadName;
};
