#include "retrieve/TruthPlanes.hpp"

#include "common/ParameterLookup.hpp"
#include "common/RefractionEnergy.hpp"
#include "engine/PlaneSetChecks.hpp"
#include "input/SampleMaterials.hpp"
#include "input/SampleVolume.hpp"
#include "params/SimulationParameters.hpp"
#include "precalc/MapNames.hpp"
#include "precalc/PlaneRecord.hpp"

namespace conesim::tools {

bool findTruthPlanes(const std::string& parametersPath, const std::string& override,
                     std::string& folder, std::string& error) {
    SimulationParameters p;
    if (!loadParameterFile(parametersPath, p, error)) {
        return false;
    }
    folder = override.empty() ? p.extensions.planeFolder : override;
    const std::string recordPath = inPlaneFolder(folder, kPlaneRecordName);
    // The record the run of these parameters writes, built as the run builds it, at the
    // energy the run takes for its refractive indices.
    SampleMaterials materials;
    if (!p.extensions.sampleMaterials.empty() &&
        !readSampleMaterials(p.extensions.sampleMaterials, materials, error)) {
        return false;
    }
    p.sampleEnergy = refractionEnergy(p);
    SampleVolume sample;
    sample.path = p.sampleFile;
    const PlaneRecord wanted =
        recordOf(p, sample, p.extensions.sampleMaterials.empty() ? nullptr : &materials);
    RecordDifference difference;
    const RecordCheck check = checkPlaneRecord(recordPath, wanted, difference);
    if (recordAccepted(check)) {
        return true;
    }
    if (check == RecordCheck::kUnreadable) {
        error = "cannot read " + recordPath;
        return false;
    }
    error = "the planes (" + recordPath + ") were made with " + difference.key + " = " +
            difference.recorded + ", but " + parametersPath + " has " + difference.key + " = " +
            difference.wanted;
    return false;
}

}  // namespace conesim::tools
