// Which environments show that an MPI launcher started the program as one of several.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "driver/LauncherEnvironment.hpp"

namespace conesim {
namespace {

MpiLaunch launchWith(const std::map<std::string, std::string>& variables) {
    return detectMpiLaunch([&](const char* name) -> const char* {
        const auto found = variables.find(name);
        return found == variables.end() ? nullptr : found->second.c_str();
    });
}

TEST(LauncherEnvironment, SeveralProcessesAreFoundBySizeOrByARankAboveZero) {
    EXPECT_FALSE(launchWith({}).several);
    EXPECT_FALSE(
        launchWith({{"OMPI_COMM_WORLD_SIZE", "1"}, {"OMPI_COMM_WORLD_RANK", "0"}}).several);
    EXPECT_FALSE(launchWith({{"PMI_SIZE", "three"}}).several);
    const MpiLaunch open = launchWith({{"OMPI_COMM_WORLD_SIZE", "3"}});
    EXPECT_TRUE(open.several);
    EXPECT_EQ(open.processes, 3);
    EXPECT_EQ(open.evidence, "OMPI_COMM_WORLD_SIZE=3");
    const MpiLaunch pmix = launchWith({{"PMIX_RANK", "2"}});
    EXPECT_TRUE(pmix.several);
    EXPECT_EQ(pmix.processes, 0);
    EXPECT_EQ(mpiLaunchRefusal(pmix).substr(0, 87),
              "ERROR: conesim was started by an MPI launcher as one of several processes "
              "(PMIX_RANK=2)");
}

}  // namespace
}  // namespace conesim
