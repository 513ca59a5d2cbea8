// The current photon's straight path, x(z) = tanX * z + offsetX, y(z) = tanY * z + offsetY,
// with the tangents of the source's angles computed once per path and shared by every test.
#pragma once

namespace conesim {

struct PathTangents {
    double x;  //!< tan(angleX) of the current path
    double y;  //!< tan(angleY) of the current path
};

}  // namespace conesim
