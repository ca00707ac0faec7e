// Temporary folders and files for the tests. Every test process works in a
// folder of its own, made when it starts under $TMPDIR (or /tmp) and handed
// on as TMPDIR, so whatever the process, the children it forks and the
// programs it starts make there goes with it: the folder is removed when the
// process ends, whatever way it ends (normally by the process itself; after
// a crash, an abort or a kill by a small watcher process that waits for it).
#pragma once

#include <string>

namespace qndx {
namespace test {

// Makes the process's folder, sets TMPDIR to it and starts the watcher.
// Called once by the shared main before any test.
void StartTempRoot();
// Removes the process's folder (the shared main calls it after the tests).
void EndTempRoot();

// Where temporary things go: $TMPDIR, else /tmp.
std::string TempBase();
// A new folder "<base>/<prefix>-XXXXXX"; empty when none could be made.
std::string MakeTempDir(const char* prefix);
// A new empty file "<base>/<prefix>-XXXXXX"; empty when none could be made.
std::string MakeTempFile(const char* prefix);
// Removes a file or a folder with everything in it; nothing when absent.
void RemoveTree(const std::string& path);

// A new temporary folder, removed with its contents when the object goes,
// by the process that made it only: a forked child that leaves through
// exit() does not take its parent's folder with it.
class TempDir {
public:
    explicit TempDir(const char* prefix = "qndx");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    bool Ok() const { return !m_path.empty(); }
    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }
    // Makes the folder the current directory; false when it cannot.
    bool Enter() const;

private:
    std::string m_path;
    int m_owner;
};

}  // namespace test
}  // namespace qndx
