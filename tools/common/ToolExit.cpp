#include "common/ToolExit.hpp"

#include <exception>
#include <iostream>
#include <new>
#include <string>

namespace conesim::tools {

int usageError(std::string_view tool, std::string_view message) {
    std::cerr << tool << ": " << message << "\nTry '" << tool << " --help'." << std::endl;
    return kExitUsage;
}

int failure(std::string_view tool, std::string_view message) {
    std::cerr << tool << ": " << message << std::endl;
    return kExitFailure;
}

int runGuarded(std::string_view tool, const std::function<int()>& body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return failure(tool, "not enough memory");
    } catch (const std::exception& error) {
        return failure(tool, std::string("unexpected failure: ") + error.what());
    } catch (...) {
        return failure(tool, "unexpected failure");
    }
}

}  // namespace conesim::tools
