#include "engine/PhotonSetup.hpp"

namespace conesim {
namespace {

// The geometry with the thickness planes of a sample given as materials, and the scattering
// plane of a sample that scatters.
SampleGeometry withThickness(const SampleGeometry& geometry, const SamplePlanes& planes) {
    SampleGeometry result = geometry;
    const auto planeSize = static_cast<std::size_t>(geometry.dimX * geometry.dimY);
    if (!planes.materials.empty() &&
        planes.thickness.size() >= planes.materials.size() * planeSize) {
        result.thickness = planes.thickness.data();
        result.materialCount = planes.materials.size();
    }
    if (!planes.scatter.empty() && planes.scatter.size() >= planeSize) {
        result.scatter = planes.scatter.data();
    }
    return result;
}

MaskGeometry maskGeometry(const std::vector<std::uint8_t>& pixels, std::uint32_t size,
                          std::int32_t position, float scale) {
    return MaskGeometry{pixels.data(), static_cast<std::int64_t>(size),
                        static_cast<float>(position), scale};
}

// The geometry of one axis of the chain, as the per-axis tables and the deflected paths
// see it.
AxisGeometry axisGeometry(const ConeAxis& cone, const SimulationParameters& p, bool alongX,
                          const MaskGeometry& preMask, const MaskGeometry& postMask,
                          const SampleGeometry& sample) {
    const std::uint32_t detectorSize = alongX ? p.detectorWidth : p.detectorHeight;
    return AxisGeometry{
        cone,
        static_cast<double>(static_cast<float>(p.detectorPosition)),
        Divisor(static_cast<double>(alongX ? p.detectorPixelSizeX : p.detectorPixelSizeY)),
        static_cast<double>(detectorSize / 2),
        static_cast<std::int64_t>(detectorSize),
        alongX ? p.apertureLrPif : p.apertureUdPif,
        alongX ? p.apertureLrOffset : p.apertureUdOffset,
        alongX ? p.detectorLrPif : p.detectorUdPif,
        alongX ? p.detectorLrOffset : p.detectorUdOffset,
        preMask,
        postMask,
        static_cast<double>(sample.zMid),
        alongX ? sample.divisorX : sample.divisorY,
        alongX ? sample.dimX : sample.dimY,
        alongX ? sample.centreX : sample.centreY};
}

}  // namespace

DetectorCone detectorCone(const SimulationParameters& p) {
    return DetectorCone{static_cast<std::int64_t>(p.detectorWidth),
                        static_cast<std::int64_t>(p.detectorHeight), p.detectorPixelSizeX,
                        p.detectorPixelSizeY, static_cast<double>(p.detectorPosition)};
}

PhotonSetup::PhotonSetup(const PhotonLoopInputs& inputs, const ConeAxis& coneX,
                         const ConeAxis& coneY, bool showAllPhotons,
                         std::span<const float> energies, std::span<const double> weights)
    : parameters(inputs.parameters),
      preMaskActive(inputs.parameters.preMaskActive),
      postMaskActive(inputs.parameters.postMaskActive),
      sampleActive(inputs.parameters.sampleActive),
      showAll(showAllPhotons),
      ditherPhotons(inputs.parameters.ditherPhotons),
      preMask(maskGeometry(inputs.preMask, parameters.preMaskSize, parameters.preMaskPosition,
                           parameters.preMaskScale)),
      postMask(maskGeometry(inputs.postMask, parameters.postMaskSize, parameters.postMaskPosition,
                            parameters.postMaskScale)),
      sample(withThickness(inputs.sample, inputs.planes)),
      axisX(axisGeometry(coneX, parameters, true,
                         preMask.shiftedBy(parameters.extensions.preMaskShiftX), postMask, sample)),
      axisY(axisGeometry(coneY, parameters, false,
                         preMask.shiftedBy(parameters.extensions.preMaskShiftY), postMask, sample)),
      planes(packPlanes(inputs.planes)),
      width(static_cast<std::int64_t>(parameters.detectorWidth)),
      height(static_cast<std::int64_t>(parameters.detectorHeight)),
      efficiencyLimit(parameters.quantumEfficiency * 32767.0F),
      layerMaterials(makeLayerMaterials(parameters.extensions)),
      planeLayers(layerMaterials.at(static_cast<double>(parameters.sampleEnergy),
                                    parameters.quantumEfficiency)),
      detectorLayer(layerMaterials.detector.present),
      effects(makePhotonEffects(parameters.extensions, energies, weights,
                                static_cast<double>(parameters.sampleEnergy), layerMaterials,
                                parameters.quantumEfficiency, inputs.planes.materials)),
      tableX_(axisX) {
    if (!(axisY == axisX)) {
        ownTableY_.emplace(axisY);
    }
}

}  // namespace conesim
