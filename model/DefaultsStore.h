// Defaults.map under the start-up directory and the record read from it: the look new points
// get. This is the one place that decides whether Defaults.map may be written. A file that
// exists but cannot be read (no permission, a folder, a FIFO or other special file, an I/O
// error) is never overwritten during the run: the factory defaults are used, and every save is
// refused with the reason, so the file stays as the user left it. Every writer of Defaults.map
// goes through Save().
#pragma once

#include <string>

#include "FileResult.h"
#include "PointRecord.h"

class DefaultsStore {
public:
    // Loads <baseDir>/Defaults.map into record() (see LoadDefaultsFile): Failed, with the
    // reason, when the file exists but cannot be read; the record then holds the factory
    // defaults and the file is protected from saves.
    FileResult Load(const std::string& baseDir);
    // Writes record() atomically to the file Load read. Failed without touching the file when
    // Load found it unreadable, or when Load was never called.
    FileResult Save() const;

    // False when Load found the file unreadable; loadProblem() then says why.
    bool mayOverwrite() const { return m_loaded && m_loadProblem.empty(); }
    const std::string& loadProblem() const { return m_loadProblem; }
    const std::string& path() const { return m_path; }

    PointRecord& record() { return m_record; }
    const PointRecord& record() const { return m_record; }

private:
    std::string m_path;
    PointRecord m_record = FactoryDefaults();
    std::string m_loadProblem;
    bool m_loaded = false;
};
