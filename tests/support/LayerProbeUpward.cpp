// Built as part of the precalculation's layer: the engine lies above it, so this include
// must not be found.
#include "engine/Bilinear.hpp"
