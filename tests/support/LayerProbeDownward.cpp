// Built as part of the precalculation's layer: its own headers and the layers below it are
// found.
#include "formats/MaskImage.hpp"
#include "params/ParameterTable.hpp"
#include "precalc/MapArray.hpp"
#include "util/NumericHelpers.hpp"
