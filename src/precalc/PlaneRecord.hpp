// The record of how a set of volume maps or planes was made, published with the set as a
// small "key = value" text ("Z-PRE.record" beside the volume maps, "Z-PRE.pca.record"
// beside the planes). A run that reads maps or planes compares the record with its own
// settings, so that maps made under one deflection model, energy or sample are never
// collapsed or used under another. A set without a record (made by hand, or by a version
// that wrote none) is accepted as it is.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "params/ExtensionSettings.hpp"

namespace conesim {

// The settings a set depends on, as texts, in the order the record file lists them. Every
// entry is compared. A record without a rotation entry (written before samples could be
// turned) reads as rotation = none.
struct PlaneRecord {
    std::vector<std::pair<std::string, std::string>> entries;

    // The value of key; empty when the record does not hold it.
    std::string valueOf(const std::string& key) const;
};

// The record of a set made with the given model at sampleEnergy (keV, the energy actually
// used) from the sample file at samplePath: its path as given, lexically normalised, and
// its size in bytes. materials: "none", or for a sample given as materials the materials
// file with its labels, compounds and densities; units: "voxel values", or the length unit
// in mm that the thickness planes depend on; rotation: "none", or the sampleRotation in
// degrees (rotationText).
PlaneRecord makePlaneRecord(DeflectionModel model, float sampleEnergy,
                            const std::string& samplePath, const std::string& materials = "none",
                            const std::string& units = "voxel values",
                            const std::string& rotation = "none");

// The file text: a comment line, then "key = value" per entry.
std::string planeRecordText(const PlaneRecord& record);

// Reads the text of a record; comment lines ("#") and blank lines are skipped, and so is
// anything that is not "key = value".
PlaneRecord parsePlaneRecord(const std::string& text);

enum class RecordCheck {
    kMatches,    //!< every entry of the run's record equals the file's
    kAbsent,     //!< no record file: the set is accepted as it is
    kDiffers,    //!< an entry differs; key and both values are given
    kUnreadable  //!< the file exists but cannot be read
};

struct RecordDifference {
    std::string key;
    std::string recorded;  //!< the file's value, "(none)" when the file lacks the key
    std::string wanted;    //!< the run's value
};

// Whether a set with that record may be used: its record matches, or it has none.
inline bool recordAccepted(RecordCheck check) {
    return check == RecordCheck::kMatches || check == RecordCheck::kAbsent;
}

// Compares the record file at path with wanted.
RecordCheck checkPlaneRecord(const std::string& path, const PlaneRecord& wanted,
                             RecordDifference& difference);

// Writes the record to path; false when it could not be written in full.
bool writePlaneRecord(const std::string& path, const PlaneRecord& record);

}  // namespace conesim
