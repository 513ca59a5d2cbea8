#include "driver/ClusterSession.hpp"

namespace conesim {
namespace {

class SingleProcessSession : public ClusterSession {
  public:
    int run(const std::vector<std::string>& args, DriverEnvironment& environment) override {
        return runProgram(args, environment);
    }
};

}  // namespace

std::unique_ptr<ClusterSession> startClusterSession(int& /*argc*/, char**& /*argv*/) {
    return std::make_unique<SingleProcessSession>();
}

}  // namespace conesim
