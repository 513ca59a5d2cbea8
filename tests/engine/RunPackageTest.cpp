// The bytes that hand a run to the other processes: a run comes back exactly, an early end
// comes back as its status, and damaged bytes are refused.
#include <gtest/gtest.h>

#include <sstream>

#include "ParameterFileText.hpp"
#include "engine/RunPackage.hpp"
#include "params/ParameterTable.hpp"

namespace conesim {
namespace {

TEST(RunPackage, RunComesBackExactly) {
    std::ostringstream out;
    std::istringstream in;
    Console console{out, in};
    SimulationParameters p;
    p.readText(testing::parameterFileText({{3, "2.5"}, {33, "0.7"}}) +
                   "focalSpotFwhmX = 0.3\nphotonEnergies = spectrum\n"
                   "deflectionModel = phase\nplaneFolder = some/planes\n",
               "params.txt", console);
    ASSERT_TRUE(p.parameterFileLoaded) << out.str();
    p.preMaskActive = false;
    p.sampleValueScale = 0.125F;
    PhotonSource source;
    source.energies = {20.0F, 30.5F};
    source.meanEnergy = 25.25F;
    source.coneX = {-0.1, 0.11};
    source.coneY = {-0.2, 0.19};
    SamplePlanes planes{{1.0, 2.0},
                        {0.5F, -0.5F},
                        {0.25F, 0.0F},
                        {0.1, 0.2, 0.3, 0.4},
                        {XrayMaterial{"H2O", 1.0}, XrayMaterial{"Bone, Cortical (ICRP)", 1.92}},
                        {1e-6, 0.0}};
    ParallelSettings settings;
    settings.seed = 18446744073709551615ULL;
    const std::vector<std::uint8_t> bytes = packRun(p, {1, 0, 1}, {0, 1}, planes, source, settings);

    bool ended = true;
    int status = -1;
    SimulationParameters q;
    RunPackage run;
    ASSERT_TRUE(unpackRun(bytes, ended, status, q, run));
    EXPECT_FALSE(ended);
    EXPECT_EQ(status, 0);
    for (auto table : {parameterTable(), extensionTable()}) {
        for (const ParameterInfo& info : table) {
            EXPECT_EQ(fieldText(q, info), fieldText(p, info)) << info.name;
        }
    }
    EXPECT_EQ(q.summary(), p.summary());
    EXPECT_EQ(q.sampleValueScale, 0.125F);
    EXPECT_FALSE(q.preMaskActive);
    EXPECT_EQ(q.extensions.photonEnergies, PhotonEnergyMode::kSpectrum);
    EXPECT_EQ(q.extensions.deflectionModel, DeflectionModel::kPhase);
    EXPECT_EQ(q.extensions.planeFolder, "some/planes");
    EXPECT_EQ(run.preMask, (std::vector<std::uint8_t>{1, 0, 1}));
    EXPECT_EQ(run.postMask, (std::vector<std::uint8_t>{0, 1}));
    EXPECT_EQ(run.planes.attenuation, planes.attenuation);
    EXPECT_EQ(run.planes.scatter, planes.scatter);
    EXPECT_EQ(run.planes.lr, planes.lr);
    EXPECT_EQ(run.planes.ud, planes.ud);
    EXPECT_EQ(run.planes.thickness, planes.thickness);
    ASSERT_EQ(run.planes.materials.size(), 2U);
    EXPECT_EQ(run.planes.materials[1].compound, "Bone, Cortical (ICRP)");
    EXPECT_EQ(run.planes.materials[1].density, 1.92);
    EXPECT_EQ(run.energies, source.energies);
    EXPECT_EQ(run.meanEnergy, 25.25F);
    EXPECT_EQ(run.coneX, source.coneX);
    EXPECT_EQ(run.coneY, source.coneY);
    EXPECT_EQ(run.seed, 18446744073709551615ULL);
    EXPECT_EQ(run.batchSize, 1 << 20);

    // Any byte fewer or more is refused.
    for (std::size_t cut : {bytes.size() - 1, std::size_t{5}, std::size_t{0}}) {
        const std::vector<std::uint8_t> shorter(bytes.begin(),
                                                bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_FALSE(unpackRun(shorter, ended, status, q, run)) << cut;
    }
    std::vector<std::uint8_t> longer = bytes;
    longer.push_back(0);
    EXPECT_FALSE(unpackRun(longer, ended, status, q, run));
}

TEST(RunPackage, EarlyEndCarriesItsStatus) {
    for (int code : {0, 11, 978}) {
        bool ended = false;
        int status = -1;
        SimulationParameters q;
        RunPackage run;
        ASSERT_TRUE(unpackRun(packEndStatus(code), ended, status, q, run));
        EXPECT_TRUE(ended);
        EXPECT_EQ(status, code);
    }
}

}  // namespace
}  // namespace conesim
