// The precalculation's output files while a run makes them. Each name added is written, and
// read back by the later steps, under a temporary name of its own: the name followed by
// ".partial-" and the process id, which no run ever reads as a map or plane and which two
// runs in one folder never share. The files of an earlier run keep their names untouched
// until a whole new set is complete and published; whatever was not published is removed
// with the object, so a stop or a failure leaves the earlier set as it was.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace conesim {

class PendingMapFiles {
  public:
    // Temporary names end in ".partial-<process id>".
    PendingMapFiles();
    // Temporary names end in suffix.
    explicit PendingMapFiles(std::string suffix);
    // Removes every temporary file not published.
    ~PendingMapFiles();
    PendingMapFiles(const PendingMapFiles&) = delete;
    PendingMapFiles& operator=(const PendingMapFiles&) = delete;

    // The folder in which every name lies ("." or empty: the working folder). Set before
    // any name is added.
    void setFolder(std::string folder) { folder_ = std::move(folder); }
    // Where name lies once published: in the folder.
    std::string placed(const std::string& name) const;

    // From now on, each of names is written and read under its temporary name, which is
    // created here new and empty (createNewFile), so that a link planted under that name
    // cannot lead the writers elsewhere. False with error set when a temporary file cannot
    // be created; the names added so far stay pending (and are removed with the object).
    bool add(const std::vector<std::string>& names, std::string* error = nullptr);
    bool isPending(const std::string& name) const;
    // Where name is written and read: its temporary name while pending, else where it is
    // placed.
    std::string pathOf(const std::string& name) const;

    // Renames the temporary file of every name of every set into place, set after set,
    // with all signals held back meanwhile, so that a second stop signal cannot end the
    // process between two renames. Nothing is renamed when a name of any set is a folder;
    // a rename that fails all the same leaves no part of its set behind (the files of
    // that set already renamed, and the earlier files of the rest, are removed), so no
    // later run mixes two sets. False with failedName set when a set could not be
    // published.
    bool publish(const std::vector<std::vector<std::string>>& sets, std::string& failedName);

    // Removes the temporary file of every name still pending (never a folder).
    void discard();

  private:
    std::string suffix_;
    std::string folder_;
    std::vector<std::string> pending_;
};

// Where a precalculation step writes or reads name: through files when the run gives them,
// otherwise under name itself.
inline std::string mapFilePath(const PendingMapFiles* files, const std::string& name) {
    return files != nullptr ? files->pathOf(name) : name;
}

}  // namespace conesim
