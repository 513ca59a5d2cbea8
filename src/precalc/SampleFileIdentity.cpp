#include "precalc/SampleFileIdentity.hpp"

#include <sys/stat.h>

#include <vector>

#include "precalc/MapNames.hpp"

namespace conesim {

std::string mapFileSameAsSample(const std::string& samplePath, int runMode,
                                const std::string& planeFolder, DeflectionModel model) {
    std::vector<std::string> written;
    if (runMode == 3) {
        written = volumeMapSetNames(model);
    }
    if (runMode == 3 || runMode == 4) {
        const std::vector<std::string> planes = planeSetNames(true);
        written.insert(written.end(), planes.begin(), planes.end());
        written.emplace_back(kPlaneFolderLockName);  // written and removed by the writer lock
    }
    struct stat sample {};
    if (written.empty() || ::stat(samplePath.c_str(), &sample) != 0) {
        return {};
    }
    for (const std::string& name : written) {
        struct stat map {};
        const std::string path = inPlaneFolder(planeFolder, name);
        if (::stat(path.c_str(), &map) == 0 && map.st_dev == sample.st_dev &&
            map.st_ino == sample.st_ino) {
            return path;
        }
    }
    return {};
}

bool sampleIsApartFromMapFiles(const std::string& samplePath, int runMode, Console& console,
                               const std::string& planeFolder, DeflectionModel model) {
    const std::string map = mapFileSameAsSample(samplePath, runMode, planeFolder, model);
    if (map.empty()) {
        return true;
    }
    writeLine(console.out, "ERROR: Sample file " + samplePath + " is the same file as " + map +
                               ", which run mode " + std::to_string(runMode) +
                               " writes; copy the sample to a file of its own.");
    return false;
}

}  // namespace conesim
