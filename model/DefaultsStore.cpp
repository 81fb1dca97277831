#include "DefaultsStore.h"

#include "MapFiles.h"

FileResult DefaultsStore::Load(const std::string& baseDir) {
    m_path = DefaultsPathFor(baseDir);
    m_loaded = true;
    const FileResult result = LoadDefaultsFile(m_path, m_record);
    m_loadProblem = result.status == FileResult::Failed ? result.message : std::string();
    return result;
}

FileResult DefaultsStore::Save() const {
    if (!m_loaded) {
        return FileResult::failure("Defaults.map: not saved, it was never loaded");
    }
    if (!m_loadProblem.empty()) {
        return FileResult::failure(m_path + ": not saved, as it could not be read (" +
                                   m_loadProblem + ")");
    }
    return SaveDefaultsFile(m_path, m_record);
}
