#include "util/XrayMaterial.hpp"

#include <xraylib/xraylib.h>

#include <charconv>
#include <cmath>
#include <limits>

namespace conesim {
namespace {

// Calls an xraylib function of (compound, E[, density]) and turns its error into NaN.
template <typename Call>
double tabulated(Call call) {
    xrl_error* error = nullptr;
    const double value = call(&error);
    if (error != nullptr) {
        xrl_error_free(error);
        return std::numeric_limits<double>::quiet_NaN();
    }
    return value;
}

}  // namespace

bool knownCompound(const std::string& compound) {
    if (compound.empty()) {
        return false;
    }
    xrl_error* error = nullptr;
    if (compoundData* data = CompoundParser(compound.c_str(), &error); data != nullptr) {
        FreeCompoundData(data);
        return true;
    }
    if (error != nullptr) {
        xrl_error_free(error);
        error = nullptr;
    }
    if (compoundDataNIST* nist = GetCompoundDataNISTByName(compound.c_str(), &error);
        nist != nullptr) {
        FreeCompoundDataNIST(nist);
        return true;
    }
    if (error != nullptr) {
        xrl_error_free(error);
    }
    return false;
}

bool parseMaterial(const std::string& text, XrayMaterial& material, std::string& reason) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) {
        reason = "is not a compound with its density after a colon (for example Au:19.3)";
        return false;
    }
    const std::string compound = text.substr(0, colon);
    const std::string densityText = text.substr(colon + 1);
    double density = 0.0;
    const auto [end, status] =
        std::from_chars(densityText.data(), densityText.data() + densityText.size(), density);
    if (status != std::errc() || end != densityText.data() + densityText.size() ||
        !std::isfinite(density) || density <= 0.0) {
        reason = "has a density, " + densityText + ", that is not a positive number (g/cm^3)";
        return false;
    }
    if (!knownCompound(compound)) {
        reason = "names a compound, " + compound +
                 ", that is neither a chemical formula nor a NIST compound xraylib knows";
        return false;
    }
    material = XrayMaterial{compound, density};
    return true;
}

double linearAttenuation(const XrayMaterial& material, double energyKeV) {
    return material.density * tabulated([&](xrl_error** error) {
               return CS_Total_CP(material.compound.c_str(), energyKeV, error);
           });
}

double refractiveDecrement(const XrayMaterial& material, double energyKeV) {
    return 1.0 - tabulated([&](xrl_error** error) {
               return Refractive_Index_Re(material.compound.c_str(), energyKeV, material.density,
                                          error);
           });
}

}  // namespace conesim
