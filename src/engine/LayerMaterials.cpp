#include "engine/LayerMaterials.hpp"

#include <cmath>
#include <string>

namespace conesim {
namespace {

MaterialLayer layerOf(const std::string& text, double thickness, double lengthUnitMm) {
    MaterialLayer layer;
    std::string reason;
    if (text.empty() || !parseMaterial(text, layer.material, reason)) {
        return layer;
    }
    layer.present = true;
    layer.thicknessCm = thickness * lengthUnitMm / 10.0;
    return layer;
}

}  // namespace

double MaterialLayer::transmission(double energyKeV) const {
    return std::exp(-linearAttenuation(material, energyKeV) * thicknessCm);
}

LayerTransmission LayerMaterials::at(double energyKeV, float quantumEfficiency) const {
    LayerTransmission result;
    if (preMask.present) {
        result.preMaskBlocking = 1.0 - preMask.transmission(energyKeV);
    }
    if (postMask.present) {
        result.postMaskBlocking = 1.0 - postMask.transmission(energyKeV);
    }
    result.detectorEfficiency = static_cast<double>(quantumEfficiency);
    if (detector.present) {
        result.detectorEfficiency *= 1.0 - detector.transmission(energyKeV);
    }
    return result;
}

LayerMaterials makeLayerMaterials(const ExtensionSettings& settings) {
    return LayerMaterials{
        layerOf(settings.preMaskMaterial, settings.preMaskThickness, settings.lengthUnitMm),
        layerOf(settings.postMaskMaterial, settings.postMaskThickness, settings.lengthUnitMm),
        layerOf(settings.detectorMaterial, settings.detectorThickness, settings.lengthUnitMm)};
}

}  // namespace conesim
