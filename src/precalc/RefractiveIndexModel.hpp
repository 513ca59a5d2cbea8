// The refractive index of a voxel at one photon energy, with the energy-dependent terms
// (reference attenuation and wavelength) worked out once instead of once per voxel.
#pragma once

namespace conesim {

// Physical constants of the refractive index model, used exactly as written.
inline constexpr double kPlanckTimesLightSpeed = 1.986445212595144e-25;  // J m
inline constexpr double kJoulesPerKeV = 1.60217646e-16;
inline constexpr double kCentimetresPerMetre = 100.0;
inline constexpr double kReferenceElectronDensity = 3.34e23;  // electrons per cm^3 (water)
inline constexpr double kElectronRadius = 2.8179402894e-13;   // cm
inline constexpr double kTwoPi = 6.2831853;                   // eight digits, on purpose

class RefractiveIndexModel {
  public:
    explicit RefractiveIndexModel(double energyKeV);

    double energyKeV() const { return energyKeV_; }
    double attenuation() const { return attenuation_; }  //!< reference attenuation (cm^2/g)
    double wavelength() const { return wavelength_; }    //!< cm

    // n of a scaled voxel value; the same operations in the same order as the per-voxel
    // formula, so the result is bit for bit that of refractiveIndex(value, energyKeV).
    double refractiveIndex(double value) const {
        if (value == 0.0) {
            return 1.0;
        }
        const double rho = (value - attenuation_) / attenuation_ + 1.0;
        return 1.0 - wavelength_ *
                         (wavelength_ * (rho * kReferenceElectronDensity * kElectronRadius)) /
                         kTwoPi;
    }

    // The value stored in the refractive index map for a raw voxel: n - 1 of the voxel
    // value times the scale (single-precision operands, product at double precision),
    // rounded to single precision.
    float storedValue(float raw, float valueScale) const {
        const double scaled = static_cast<double>(raw) * static_cast<double>(valueScale);
        return static_cast<float>(refractiveIndex(scaled) - 1.0);
    }

  private:
    double energyKeV_;
    double attenuation_;
    double wavelength_;
};

}  // namespace conesim
