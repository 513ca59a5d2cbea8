#include "engine/RunPackage.hpp"

#include "engine/MonteCarloRun.hpp"
#include "engine/ParallelPhotonRun.hpp"
#include "params/ParameterRecordBytes.hpp"
#include "util/ByteBuffer.hpp"

namespace conesim {
namespace {

// What the bytes hold.
constexpr std::int32_t kRunFollows = 1;
constexpr std::int32_t kEndStatusFollows = 2;

}  // namespace

std::vector<std::uint8_t> packRun(const SimulationParameters& parameters,
                                  const std::vector<std::uint8_t>& preMask,
                                  const std::vector<std::uint8_t>& postMask,
                                  const SamplePlanes& planes, const PhotonSource& source,
                                  const ParallelSettings& settings) {
    ByteWriter writer;
    writer.put(kRunFollows);
    writeParameterRecord(writer, parameters);
    writer.put(preMask);
    writer.put(postMask);
    writer.put(planes.attenuation);
    writer.put(planes.lr);
    writer.put(planes.ud);
    writer.put(planes.thickness);
    writer.put(planes.scatter);
    writer.put(static_cast<std::uint64_t>(planes.materials.size()));
    for (const XrayMaterial& material : planes.materials) {
        writer.put(material.compound);
        writer.put(material.density);
    }
    writer.put(source.energies);
    writer.put(source.weights);
    writer.put(source.meanEnergy);
    writer.put(source.coneX.low);
    writer.put(source.coneX.high);
    writer.put(source.coneY.low);
    writer.put(source.coneY.high);
    writer.put(settings.seed);
    writer.put(settings.batchSize);
    return std::move(writer.bytes());
}

std::vector<std::uint8_t> packEndStatus(int status) {
    ByteWriter writer;
    writer.put(kEndStatusFollows);
    writer.put(static_cast<std::int32_t>(status));
    return std::move(writer.bytes());
}

bool unpackRun(const std::vector<std::uint8_t>& bytes, bool& ended, int& status,
               SimulationParameters& parameters, RunPackage& run) {
    ByteReader reader(bytes);
    std::int32_t kind = 0;
    if (!reader.get(kind) || (kind != kRunFollows && kind != kEndStatusFollows)) {
        return false;
    }
    ended = kind == kEndStatusFollows;
    if (ended) {
        std::int32_t code = 0;
        reader.get(code);
        status = code;
        return reader.ok() && reader.atEnd();
    }
    status = 0;
    readParameterRecord(reader, parameters);
    reader.get(run.preMask);
    reader.get(run.postMask);
    reader.get(run.planes.attenuation);
    reader.get(run.planes.lr);
    reader.get(run.planes.ud);
    reader.get(run.planes.thickness);
    reader.get(run.planes.scatter);
    std::uint64_t materialCount = 0;
    reader.get(materialCount);
    // Each material takes at least its compound's length and its density.
    if (materialCount > bytes.size()) {
        return false;
    }
    run.planes.materials.resize(static_cast<std::size_t>(materialCount));
    for (XrayMaterial& material : run.planes.materials) {
        reader.get(material.compound);
        reader.get(material.density);
    }
    reader.get(run.energies);
    reader.get(run.weights);
    reader.get(run.meanEnergy);
    reader.get(run.coneX.low);
    reader.get(run.coneX.high);
    reader.get(run.coneY.low);
    reader.get(run.coneY.high);
    reader.get(run.seed);
    reader.get(run.batchSize);
    return reader.ok() && reader.atEnd() && run.batchSize > 0;
}

int runPackagedPhotons(const SimulationParameters& p, const RunPackage& run,
                       std::vector<std::uint32_t>& detectorImage, RunContext& context) {
    const SampleGeometry geometry = makeSampleGeometry(
        static_cast<std::int32_t>(p.sampleDimX), static_cast<std::int32_t>(p.sampleDimY),
        static_cast<std::int32_t>(p.sampleDimZ), p.sampleScaleX, p.sampleScaleY, p.sampleScaleZ,
        p.sampleStart);
    const std::string runName = "1";
    const PhotonLoopInputs inputs{p, geometry, run.planes, run.preMask, run.postMask, runName};
    const PhotonSetup setup(inputs, run.coneX, run.coneY, p.showAllPhotons, run.energies,
                            run.weights);
    ParallelSettings settings = context.parallel.value_or(ParallelSettings{});
    settings.seed = run.seed;
    settings.batchSize = run.batchSize;
    detectorImage.assign(static_cast<std::size_t>(std::int64_t{p.detectorWidth} * p.detectorHeight),
                         0);
    BatchShare share;
    if (context.cluster != nullptr) {
        share = {context.cluster->rank(), context.cluster->size()};
    }
    const PhotonLoopResult result =
        runParallelPhotons(setup, settings, detectorImage, context, runName, share);
    return result.failed ? kRunProcessFailed : kRunOk;
}

}  // namespace conesim
