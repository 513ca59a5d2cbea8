#include <cstdlib>

#include "driver/ClusterSession.hpp"
#include "driver/LauncherEnvironment.hpp"

namespace conesim {
namespace {

class SingleProcessSession : public ClusterSession {
  public:
    int run(const std::vector<std::string>& args, DriverEnvironment& environment) override {
        const MpiLaunch launch =
            detectMpiLaunch([](const char* name) { return std::getenv(name); });
        if (launch.several) {
            writeLine(environment.console.out, mpiLaunchRefusal(launch));
            return kExitUsageOrFault;
        }
        return runProgram(args, environment);
    }
};

}  // namespace

std::unique_ptr<ClusterSession> startClusterSession(int& /*argc*/, char**& /*argv*/) {
    return std::make_unique<SingleProcessSession>();
}

}  // namespace conesim
