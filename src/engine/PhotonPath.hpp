// The current photon's straight path, x(z) = tanX * z + offsetX, y(z) = tanY * z + offsetY:
// its direction and offsets, and the tangents of its angles computed once per path and
// shared by every test.
#pragma once

namespace conesim {

struct PathTangents {
    double x;  //!< tan(angleX) of the current path
    double y;  //!< tan(angleY) of the current path
};

// What one photon carries along the chain; lives in the worker that traces the photon.
struct PhotonState {
    double angleX = 0.0;   //!< direction in X (radians)
    double angleY = 0.0;   //!< direction in Y (radians)
    double offsetX = 0.0;  //!< lateral offset of the path in X (length units)
    double offsetY = 0.0;  //!< lateral offset of the path in Y
};

}  // namespace conesim
