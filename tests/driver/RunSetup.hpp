// A complete run-mode-5 set-up in a scratch folder, and a way to run the whole program on it
// inside the test process with a fixed clock and scripted standard input.
#pragma once

#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ParameterFileText.hpp"
#include "TestSupport.hpp"
#include "driver/Driver.hpp"
#include "util/RandomGenerator.hpp"

namespace conesim::testing {

struct RunResult {
    int exitCode = 0;
    std::string console;
};

class RunSetup {
  public:
    // 20 x 20 planes: attenuation 0.002 per unit inside a disc of radius 6, deflections
    // of +-0.001 at its left and right edge; output folder OUT.
    RunSetup() : cwd_(dir_.path()) {
        writeValues("Sample.bin", std::vector<float>(20 * 20 * 4, 0.0F));
        writeText("Spectrum", "20\n30\n40\n");
        std::vector<double> attenuation(400, 0.0);
        std::vector<double> lr(400, 0.0);
        std::vector<double> ud(400, 0.0);
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 20; ++x) {
                const int dx = x - 10;
                const int dy = y - 10;
                if (dx * dx + dy * dy < 36) {
                    attenuation[y * 20 + x] = 0.002;
                }
                if (dx * dx + dy * dy >= 25 && dx * dx + dy * dy < 36) {
                    lr[y * 20 + x] = dx < 0 ? -0.001 : 0.001;
                    ud[y * 20 + x] = dy < 0 ? 0.0005 : -0.0005;
                }
            }
        }
        writeValues("Z_ref-PRE.pca", attenuation);
        writeValues("Z_iLR-PRE.pca", lr);
        writeValues("Z_iUD-PRE.pca", ud);
        std::filesystem::create_directory("OUT");
        setParameters({});
    }

    void setParameters(const std::map<int, std::string>& overrides) {
        writeText("params.txt", parameterFileText(overrides));
    }

    // A 100 x 100 grating mask of columns: in each period, the first `opaque` columns stop
    // photons (grey 255) and the rest let them through (grey 0).
    static void writeGratingMask(const std::string& name, int period, int opaque) {
        std::string text = "P2\n# grating\n100 100\n255\n";
        for (int y = 0; y < 100; ++y) {
            for (int x = 0; x < 100; ++x) {
                text += (x % period) < opaque ? "255 " : "0 ";
            }
            text += "\n";
        }
        writeText(name, text);
    }

    RunResult run(const std::vector<std::string>& args = {"conesim", "params.txt"},
                  std::time_t clock = kClock, const std::string& input = "",
                  const volatile std::sig_atomic_t* stopSignal = nullptr) {
        std::ostringstream out;
        std::istringstream in(input);
        Console console{out, in};
        DriverEnvironment environment{console, [clock] { return clock; }, stopSignal};
        RunResult result;
        result.exitCode = runProgram(args, environment);
        result.console = out.str();
        return result;
    }

    // The run name a run started at the given clock second gets.
    static std::string runNameAt(std::time_t clock = kClock) {
        RandomGenerator random(static_cast<std::uint32_t>(clock));
        return std::to_string(random.next() % 10000000);
    }

    std::string path(const std::string& name) const { return dir_.file(name); }

    static constexpr std::time_t kClock = 1765000000;

  private:
    ScratchDir dir_;
    WorkingDirectory cwd_;
};

}  // namespace conesim::testing
