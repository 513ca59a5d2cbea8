#include "retrieve/TruthPlanes.hpp"

#include "common/ParameterLookup.hpp"
#include "common/RefractionEnergy.hpp"
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
    const PlaneRecord wanted =
        makePlaneRecord(effectiveDeflectionModel(p.extensions), refractionEnergy(p), p.sampleFile);
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
