// The outcome of loading or saving a file, in a form the caller can act on and show.
#pragma once

#include <string>
#include <utility>

// Ok: done. Absent: there was nothing to load (no file, or nothing in it). Failed: the file
// could not be loaded or saved; `message` names the file and says why. A failed save left the
// previous file as it was.
struct FileResult {
    enum Status { Ok, Absent, Failed };
    Status status = Ok;
    std::string message; // why it failed, for the user; empty unless Failed

    bool ok() const { return status != Failed; }
    static FileResult success() { return {}; }
    static FileResult absent() { return {Absent, {}}; }
    static FileResult failure(std::string why) { return {Failed, std::move(why)}; }
};
