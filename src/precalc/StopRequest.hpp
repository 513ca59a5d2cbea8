// The stop request that a signal handler raises while the precalculation works: each step
// looks at it once per slice and, when it is set, ends without leaving an unfinished map.
#pragma once

#include <csignal>

namespace conesim {

using StopFlag = const volatile std::sig_atomic_t*;

inline bool stopRequested(StopFlag stop) {
    return stop != nullptr && *stop != 0;
}

}  // namespace conesim
