// The one record of all run settings. Rows 1 to 48 are the parameter file's values in
// file order, then the end checkword and the state the system itself keeps.
// Positions are distances from the point source along the beam; positions, pixel sizes
// and voxel sizes share one length unit; energies are in keV.
#pragma once

#include <csignal>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "params/ExtensionSettings.hpp"
#include "util/Console.hpp"
#include "util/InputFile.hpp"

namespace conesim {

class SimulationParameters {
  public:
    SimulationParameters() { resetToDefaults(); }
    SimulationParameters(const SimulationParameters&) = delete;
    SimulationParameters& operator=(const SimulationParameters&) = delete;

    // Every field back to its default; parameterFileLoaded 0, checkword "BAD".
    void resetToDefaults();
    // Fills the record from a positional parameter file; messages go to the console.
    // On any refusal the record is back at its defaults (parameterFileLoaded 0). A named
    // pipe or device is read as it comes, up to kMaxPipedParameterBytes, and a stop flag
    // that is set (stop may be null) ends a read that waits for it.
    void readFile(const std::string& path, Console& console,
                  const volatile std::sig_atomic_t* stop = nullptr);
    // The same from the text of a parameter file; name stands for the file in messages.
    void readText(const std::string& text, const std::string& name, Console& console);
    // 0 when the settings are sensible, otherwise the code of the last failing check.
    int faultCode() const;
    // The block of text that lists the record in the run log.
    std::string summary() const;

    std::uint32_t preMaskSize;      //!< 1: pre-sample mask edge length (pixels)
    std::int32_t preMaskPosition;   //!< 2: pre-sample mask plane distance from source
    float preMaskScale;             //!< 3: pre-sample mask pixels per length unit
    std::string preMaskImageFile;   //!< 4: pre-sample mask image path
    float apertureLrPif;            //!< 5: coded-aperture window fraction, LR
    float apertureLrOffset;         //!< 6: start of that window within the pixel, LR
    float apertureUdPif;            //!< 7: coded-aperture window fraction, UD
    float apertureUdOffset;         //!< 8: start of that window, UD
    float sampleStart;              //!< 9: position of the sample's first slice
    std::uint32_t sampleDimX;       //!< 10: voxels along X
    std::uint32_t sampleDimY;       //!< 11: voxels along Y
    std::uint32_t sampleDimZ;       //!< 12: voxels along Z (the beam)
    float sampleScaleX;             //!< 13: voxel size along X (length units)
    float sampleScaleY;             //!< 14: voxel size along Y
    float sampleScaleZ;             //!< 15: voxel size along Z
    float sampleValueScale;         //!< 16: factor on voxel values; 0 = derive 10 / sampleScaleX
    std::string sampleFile;         //!< 17: sample volume path
    std::int32_t edgeSearchAcross;  //!< 18: edge search width (voxels each side)
    std::int32_t edgeSearchDepth;   //!< 19: edge search depth (slices each way)
    float smoothingThreshold;       //!< 20: low-value smoothing threshold (listed only)
    std::uint32_t postMaskSize;     //!< 21: post-sample mask edge length (pixels)
    std::int32_t postMaskPosition;  //!< 22: post-sample mask plane distance from source
    float postMaskScale;            //!< 23: post-sample mask pixels per length unit
    std::string postMaskImageFile;  //!< 24: post-sample mask image path
    std::uint32_t detectorWidth;    //!< 25: detector pixels per row
    std::uint32_t detectorHeight;   //!< 26: detector rows
    std::int32_t detectorPosition;  //!< 27: source-to-detector distance
    float detectorPixelSizeX;       //!< 28: detector pixel size along X
    float detectorPixelSizeY;       //!< 29: detector pixel size along Y
    bool showAllPhotons;            //!< 30: 0 discards photons crossing zero attenuation
    bool ditherPhotons;             //!< 31: dither the scored pixel
    std::int32_t runMode;           //!< 32: 3, 4 or 5
    float quantumEfficiency;        //!< 33: probability that a detector hit counts
    float detectorLrPif;            //!< 34: sensitive pixel fraction, LR
    float detectorLrOffset;         //!< 35: start of the sensitive part, LR
    float detectorUdPif;            //!< 36: sensitive pixel fraction, UD
    float detectorUdOffset;         //!< 37: start of the sensitive part, UD
    std::string spectrumFile;       //!< 38: spectrum path (energies in keV)
    std::int32_t photonsToRun;      //!< 39: photons to run
    std::int32_t reportEvery;       //!< 40: progress line interval (photons)
    std::int32_t splashEvery;       //!< 41: progress image interval (photons)
    bool countHitsOnly;             //!< 42: count only photons passing the sensitive area
    float sampleEnergy;             //!< 43: energy for the refractive index (keV); 0 = mean
    std::string outputFolder;       //!< 44: folder for the log and images
    std::string progressPrefix;     //!< 45: progress image file prefix
    std::string logFileName;        //!< 46: run log file name inside outputFolder
    std::string finalPrefix;        //!< 47: final image file prefix
    bool keepTemporaryFiles;        //!< 48: listed in the summary only
    std::string endCheckword;       //!< 49: must contain "END"
    std::string parameterFileName;  //!< path of the file that filled the record
    bool parameterFileLoaded;       //!< 1 once a parameter file was read completely
    bool preMaskActive;             //!< the pre-sample mask takes part in the run
    bool postMaskActive;            //!< the post-sample mask takes part in the run
    bool sampleActive;              //!< the sample takes part in the run
    ExtensionSettings extensions;   //!< the settings given by name after the END line
    //! "WARNING: ..." lines about the file and the inputs it names, for the run log
    std::vector<std::string> warnings;

  private:
    void readStream(std::istream& in, const std::string& name, Console& console,
                    const InputFileBuffer* source = nullptr);
};

//! Bytes read at most from a parameter file that is a named pipe or a device.
inline constexpr std::int64_t kMaxPipedParameterBytes = std::int64_t{1} << 20;

}  // namespace conesim
