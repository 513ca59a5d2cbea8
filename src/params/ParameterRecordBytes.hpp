// The whole parameter record as bytes and back, exactly: every setting of the table (the
// positional ones and the extension settings) and the state the system keeps. Used to hand
// a validated record to the other processes of a run.
#pragma once

#include "params/SimulationParameters.hpp"
#include "util/ByteBuffer.hpp"

namespace conesim {

void writeParameterRecord(ByteWriter& writer, const SimulationParameters& parameters);
// False when the bytes do not hold a whole record.
bool readParameterRecord(ByteReader& reader, SimulationParameters& parameters);

}  // namespace conesim
