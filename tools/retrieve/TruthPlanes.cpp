#include "retrieve/TruthPlanes.hpp"

#include <sstream>

#include "common/ParameterLookup.hpp"
#include "common/RefractionEnergy.hpp"
#include "input/SampleMaterials.hpp"
#include "params/SimulationParameters.hpp"
#include "precalc/MapNames.hpp"
#include "precalc/PlaneRecord.hpp"
#include "precalc/SampleRotation.hpp"

namespace conesim::tools {

bool findTruthPlanes(const std::string& parametersPath, const std::string& override,
                     std::string& folder, std::string& error) {
    SimulationParameters p;
    if (!loadParameterFile(parametersPath, p, error)) {
        return false;
    }
    folder = override.empty() ? p.extensions.planeFolder : override;
    const std::string recordPath = inPlaneFolder(folder, kPlaneRecordName);
    // The record the run of these parameters writes: for a sample of materials the materials
    // file's signature and the length unit too.
    std::string materialsEntry = "none";
    std::string unitsEntry = "voxel values";
    if (!p.extensions.sampleMaterials.empty()) {
        SampleMaterials materials;
        if (!readSampleMaterials(p.extensions.sampleMaterials, materials, error)) {
            return false;
        }
        materialsEntry = materials.path + ": " + materialsSignature(materials);
        std::ostringstream unit;
        unit << "lengthUnitMm " << p.extensions.lengthUnitMm;
        unitsEntry = unit.str();
    }
    const PlaneRecord wanted =
        makePlaneRecord(effectiveDeflectionModel(p.extensions), refractionEnergy(p), p.sampleFile,
                        materialsEntry, unitsEntry, rotationText(p.extensions.sampleRotation));
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
