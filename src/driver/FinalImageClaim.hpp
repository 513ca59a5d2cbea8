// The names of a run's final images, claimed in the output folder when the run is named, so
// that two runs never write the same image and an output name that cannot take the images is
// found before any work is done.
#pragma once

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "util/RandomGenerator.hpp"

namespace conesim {

class FinalImageClaim {
  public:
    enum class Result {
        kClaimed,  //!< the names are this run's
        kTaken,    //!< one of them exists already (an earlier or a concurrent run's)
        kFailed,   //!< a name cannot take an image; error says which and why
    };

    FinalImageClaim() = default;
    // Removes the placeholders this claim made that were not replaced by an image.
    ~FinalImageClaim();
    FinalImageClaim(const FinalImageClaim&) = delete;
    FinalImageClaim& operator=(const FinalImageClaim&) = delete;

    // A numbered run: creates base.run.pgm and base.run.dat exclusively (O_CREAT | O_EXCL),
    // as empty placeholders that the images replace at the end. kTaken, with nothing left
    // behind, when either name exists in any form (a file, a link, a folder).
    Result claimExclusive(const std::string& base, const std::string& run, std::string& error);

    // A run with a fixed name (the OUTPUT_NAME of a debugging run), whose images replace
    // those of the last run of that name: a name that does not exist gets a placeholder, an
    // existing regular file (or a link to one) stays until the image replaces it.
    Result claimFixed(const std::string& base, const std::string& run, std::string& error);

    const std::string& pgmPath() const { return names_[kPgm].path; }
    const std::string& datPath() const { return names_[kDat].path; }
    // The run's record (base.run.json), claimed with the images.
    const std::string& recordPath() const { return names_[kJson].path; }
    // The MetaImage header beside the .dat: checked with the images, never claimed.
    std::string headerPath() const;

    // The image now stands under that name: its placeholder is no longer the claim's to remove.
    void markWritten(const std::string& path);
    // Whether markWritten was called for path.
    bool written(const std::string& path) const;
    // Removes the placeholders that no image has replaced (a run that failed, an image that
    // could not be written): an empty file never stands for a result.
    void release();

  private:
    static constexpr std::size_t kPgm = 0;
    static constexpr std::size_t kDat = 1;
    static constexpr std::size_t kJson = 2;
    struct Name {
        std::string path;
        std::string placeholderPath;  //!< where the placeholder is: path or its link's end
        bool placeholder = false;     //!< created by this claim and not yet replaced
        bool written = false;         //!< the file now stands under the name
        dev_t device = 0;
        ino_t inode = 0;
    };

    Result createPlaceholder(Name& name, bool exclusive, std::string& error);
    void setNames(const std::string& base, const std::string& run);

    std::array<Name, 3> names_{};
};

// The outcome of naming a run.
struct RunNaming {
    enum class Result { kNamed, kNoFreeNumber, kFailed } result = Result::kNamed;
    std::string runName;  //!< the run's name; for kFailed the name that was being claimed
    std::string error;    //!< kFailed: the console line
};

// Names the run and claims its final images base.NAME.pgm and .dat. With a fixed name
// (debugging run) the first draw is made and ignored and the run is named fixedName.
// Otherwise run numbers are drawn until one whose images can be claimed exclusively turns
// up; each redraw moves the generator's sequence on. kFailed when an image name cannot be
// created (a missing folder, no permission, a folder or device in its place); error then reads
// "ERROR: Cannot create final image PATH: REASON."
RunNaming nameRun(RandomGenerator& random, const std::string& base,
                  const std::optional<std::string>& fixedName, FinalImageClaim& claim);

}  // namespace conesim
