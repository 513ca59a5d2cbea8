#include "retrieve/SweepFolder.hpp"

#include <algorithm>
#include <filesystem>

#include "common/ArgParse.hpp"
#include "common/BinaryFile.hpp"
#include "formats/MetaImageReader.hpp"

namespace conesim::tools {

namespace {

// The runs per outer value and the outer values of a stack whose header is four-dimensional;
// a missing, unreadable or lower-dimensional header leaves both 0 (a plain sweep).
bool readOuterShape(const std::string& stackPath, SweepFolder& folder, std::string& error) {
    MetaImageInfo info;
    std::string ignored;
    if (!readMetaImageHeader(metaImageHeaderPath(stackPath), info, ignored) ||
        info.dimensions.size() != 4) {
        return true;
    }
    if (info.dimensions[0] != folder.geometry.detectorWidth ||
        info.dimensions[1] != folder.geometry.detectorHeight ||
        info.type != MetaElementType::kUint32 || folder.table.settings.size() < 2) {
        error = metaImageHeaderPath(stackPath) +
                " is not the 4-D stack of a sweep over an outer axis of its " +
                std::to_string(folder.geometry.detectorWidth) + " x " +
                std::to_string(folder.geometry.detectorHeight) + " detector";
        return false;
    }
    folder.inner = info.dimensions[2];
    folder.outer = info.dimensions[3];
    folder.outerSetting = folder.table.settings.back();
    const auto runs = static_cast<std::int64_t>(folder.finishedRows.size());
    if (runs != folder.inner * folder.outer) {
        error = metaImageHeaderPath(stackPath) + " describes " + std::to_string(folder.outer) +
                " outer values of " + std::to_string(folder.inner) + " runs, but " + folder.path +
                " lists " + std::to_string(runs) + " finished runs";
        return false;
    }
    return true;
}

}  // namespace

bool readSweepFolder(const std::string& path, SweepFolder& folder, std::string& error) {
    const std::filesystem::path dir(path);
    SweepFolder result;
    result.path = path;
    if (!readSweepTable((dir / kSweepTableName).string(), result.table, error) ||
        !readSetupGeometry((dir / kSweepParametersName).string(), result.geometry, error)) {
        return false;
    }
    for (std::size_t row = 0; row < result.table.rows.size(); ++row) {
        if (result.table.rows[row].status == 0) {
            result.finishedRows.push_back(row);
        }
    }
    const std::string stackPath = (dir / kSweepStackName).string();
    const auto pixels =
        static_cast<std::uint64_t>(result.geometry.detectorWidth) * result.geometry.detectorHeight;
    if (!readOuterShape(stackPath, result, error)) {
        return false;
    }
    const std::uint64_t expected = pixels * result.finishedRows.size();
    // The size is checked before the stack is read, so that a wrong one is not read first.
    std::uint64_t bytes = 0;
    if (!regularFileSize(stackPath, bytes, error)) {
        return false;
    }
    if (bytes != expected * 4U) {
        error = stackPath + " holds " + std::to_string(bytes / 4U) + " counts; " +
                std::to_string(result.finishedRows.size()) + " finished runs of " +
                std::to_string(result.geometry.detectorWidth) + " x " +
                std::to_string(result.geometry.detectorHeight) + " pixels make " +
                std::to_string(expected);
        return false;
    }
    if (result.outer == 0 && !readUint32File(stackPath, result.stack, error)) {
        return false;
    }
    folder = std::move(result);
    return true;
}

bool readOuterImages(const SweepFolder& folder, std::int64_t index,
                     std::vector<std::uint32_t>& counts, std::string& error) {
    const std::string stackPath = (std::filesystem::path(folder.path) / kSweepStackName).string();
    const std::uint64_t values = std::uint64_t{folder.geometry.detectorWidth} *
                                 folder.geometry.detectorHeight *
                                 static_cast<std::uint64_t>(folder.inner);
    return readUint32Block(stackPath, values * static_cast<std::uint64_t>(index), values, counts,
                           error);
}

bool finishedPositions(const SweepFolder& folder, const std::string& setting,
                       std::vector<double>& positions, std::string& error) {
    const auto& settings = folder.table.settings;
    const auto found = std::find(settings.begin(), settings.end(), setting);
    if (found == settings.end()) {
        std::string names;
        for (const std::string& name : settings) {
            names += (names.empty() ? "" : ", ") + name;
        }
        error = folder.path + " did not sweep " + setting + " (it swept " + names + ")";
        return false;
    }
    const auto column = static_cast<std::size_t>(found - settings.begin());
    positions.clear();
    for (const std::size_t row : folder.finishedRows) {
        const std::string& text = folder.table.rows[row].values[column];
        double value = 0.0;
        if (!parseDouble(text, value)) {
            error = folder.path + ": the value '" + text + "' of " + setting + " is not a number";
            return false;
        }
        positions.push_back(value);
    }
    return true;
}

}  // namespace conesim::tools
