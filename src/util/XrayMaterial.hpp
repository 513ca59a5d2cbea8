// A material as tabulated X-ray data know it: a compound (a chemical formula such as H2O or
// C5H8O2, or a name of xraylib's list of NIST compounds) and a density. Its refractive-index
// decrement and its linear attenuation coefficient at any energy come from xraylib.
#pragma once

#include <string>

namespace conesim {

struct XrayMaterial {
    std::string compound;  //!< formula or NIST compound name, as xraylib reads it
    double density = 0.0;  //!< g/cm^3
};

// Whether xraylib knows the compound (as a formula or a NIST compound name).
bool knownCompound(const std::string& compound);

// Reads "COMPOUND:DENSITY" (the density in g/cm^3 after the last colon); false with the
// reason when the text is malformed, the density is not a positive number or xraylib does
// not know the compound (the reason then names it).
bool parseMaterial(const std::string& text, XrayMaterial& material, std::string& reason);

// The linear attenuation coefficient mu(E) in 1/cm: xraylib's total cross-section (with
// coherent scattering) of the compound, CS_Total_CP in cm^2/g, times the density. NaN where
// xraylib has no data (energies outside its tables).
double linearAttenuation(const XrayMaterial& material, double energyKeV);

// The refractive-index decrement delta(E) = 1 - Refractive_Index_Re(compound, E, density).
double refractiveDecrement(const XrayMaterial& material, double energyKeV);

}  // namespace conesim
