// The materials file of a sample given as labels: one material a line, "LABEL DENSITY
// COMPOUND" (a positive integer label, a density in g/cm^3, a chemical formula or a name of
// xraylib's NIST compound list, in double quotes when it holds blanks), optionally followed by
// "scatter=EPS" (the material's linear diffusion coefficient, rad^2/mm); "#" starts a comment.
// Each voxel of such a sample holds 0 (vacuum) or one of the labels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "util/XrayMaterial.hpp"

namespace conesim {

struct SampleMaterial {
    std::int64_t label = 0;  //!< the voxel value that stands for this material
    XrayMaterial material;   //!< compound and density (g/cm^3)
    double scatter = 0.0;    //!< linear diffusion coefficient (rad^2/mm at E0); 0: none
    int line = 0;            //!< line of the materials file it was given on
};

// The materials of a file, in increasing label order.
struct SampleMaterials {
    std::string path;
    std::vector<SampleMaterial> materials;
};

// Reads the materials file at path. False with error set to a message naming the file, the
// line and the refused value (an unknown compound, a repeated label with both lines, a
// density that is not a positive number, an unknown field after the compound, a scatter=
// value that is not a number of at least 0).
bool readSampleMaterials(const std::string& path, SampleMaterials& result, std::string& error);

// The labels with compounds and densities as one text ("1 H2O 1; 2 C5H8O2 1.18 scatter=0.002",
// the scatter= of a material that scatters), for the record of the maps and planes made from
// them.
std::string materialsSignature(const SampleMaterials& materials);

// True when a material of the file scatters (a scatter= above 0).
bool anyScatters(const SampleMaterials& materials);

}  // namespace conesim
