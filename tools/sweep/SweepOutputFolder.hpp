// The folder a sweep writes into: which of its names belong to the sweep, the check that
// nothing else stands under them (an earlier sweep is replaced only when forced, and never
// written through a link), and the run log name that must not be one of them.
#pragma once

#include <filesystem>
#include <string>

namespace conesim::tools {

// Whether a file name (without folder) is one the sweep writes: params.txt, stack.raw,
// stack.raw.mhd, sweep.csv and a run's run-NNN.1.dat, .1.dat.mhd, .1.pgm and .log.
bool isSweepFileName(const std::string& name);

// Empty when the run log, logFileName inside folder, is none of the sweep's own files;
// otherwise why it cannot be.
std::string runLogClash(const std::filesystem::path& folder, const std::string& logFileName);

// Makes folder (shown as shownName in messages) when it is missing. Files of the sweep's
// names already there, be they an earlier sweep's or anything else (a link included), are
// refused unless force is set; with force they are removed (a link itself, never what it
// leads to), except keep, the parameter file the sweep reads when it stands there under its
// own name. False with error set when the folder cannot be made, is refused, or a file
// cannot be removed.
bool prepareSweepFolder(const std::filesystem::path& folder, const std::string& shownName,
                        bool force, const std::filesystem::path& keep, std::string& error);

}  // namespace conesim::tools
