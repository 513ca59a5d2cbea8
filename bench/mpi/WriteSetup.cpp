// Writes the files of benchmark set-up B (both masks half-opaque gratings, 200 x 200 planes
// with attenuation and deflection covering most of the cone; run mode 5) into a folder, for
// timing whole runs of the program, MPI runs among them:
//   bench_write_setup FOLDER PHOTONS
#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "params/ParameterTable.hpp"
#include "params/SimulationParameters.hpp"

namespace {

using namespace conesim;

template <typename T>
bool writeValues(const std::string& path, const std::vector<T>& values) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(values.data()),
               static_cast<std::streamsize>(values.size() * sizeof(T)));
    return static_cast<bool>(file);
}

// A 100 x 100 grating of columns, two opaque and two clear, as a mask image.
bool writeGrating(const std::string& path) {
    std::ofstream file(path);
    file << "P2\n# grating\n100 100\n255\n";
    for (int i = 0; i < 100 * 100; ++i) {
        file << ((i % 100) % 4 < 2 ? "255 " : "0 ");
    }
    return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: bench_write_setup FOLDER PHOTONS\n";
        return 2;
    }
    const std::string folder = argv[1];
    SimulationParameters p;
    p.sampleDimX = 200;
    p.sampleDimY = 200;
    p.sampleDimZ = 20;
    p.sampleScaleX = 0.5F;
    p.sampleScaleY = 0.5F;
    p.sampleScaleZ = 0.5F;
    p.sampleStart = 60.0F;
    p.postMaskPosition = 100;
    p.runMode = 5;
    p.photonsToRun = std::stoi(argv[2]);
    p.reportEvery = 2000000000;
    p.splashEvery = 2000000000;
    p.sampleEnergy = 21.0F;
    p.preMaskImageFile = "pre.pgm";
    p.postMaskImageFile = "post.pgm";
    p.spectrumFile = "Spectrum";
    p.outputFolder = "out";
    std::string text;
    for (const ParameterInfo& info : parameterTable()) {
        text += std::string(info.name) + " = " + fieldText(p, info) + "\n";
    }
    text += "END\n";
    std::vector<double> attenuation(200 * 200, 0.02);
    std::vector<double> lr(200 * 200);
    std::vector<double> ud(200 * 200);
    for (std::size_t i = 0; i < lr.size(); ++i) {
        lr[i] = static_cast<double>((i % 200) < 100 ? 0.0004F : -0.0004F);
        ud[i] = static_cast<double>((i / 200) < 100 ? -0.0002F : 0.0002F);
    }
    const bool written =
        writeValues(folder + "/Z_ref-PRE.pca", attenuation) &&
        writeValues(folder + "/Z_iLR-PRE.pca", lr) && writeValues(folder + "/Z_iUD-PRE.pca", ud) &&
        writeValues(folder + "/" + p.sampleFile, std::vector<float>(200 * 200 * 20, 0.0F)) &&
        writeGrating(folder + "/pre.pgm") && writeGrating(folder + "/post.pgm") &&
        static_cast<bool>(std::ofstream(folder + "/Spectrum") << "21\n") &&
        static_cast<bool>(std::ofstream(folder + "/params.txt") << text);
    if (!written) {
        std::cerr << "bench_write_setup: cannot write the set-up into " << folder << "\n";
        return 1;
    }
    return 0;
}
