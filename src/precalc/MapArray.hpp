// One precalculated map file with its buffer: a float map read by absolute element ranges
// from a volume map, or a double map filled in memory and written as a plane file and a
// greyscale preview.
#pragma once

#include <cstdint>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "util/Console.hpp"

namespace conesim {

class MapArray {
  public:
    // A float map of dimX * dimY * dimZ values: opens fileName for binary input and reads
    // values from its start until the buffer is full or the file ends. Whether the file
    // opened is seen from isOpen().
    static MapArray openFloatMap(const std::string& fileName, int dimX, int dimY, int dimZ);
    // A double map of dimX * dimY * dimZ zeros, with no file opened.
    static MapArray createDoubleMap(const std::string& fileName, int dimX, int dimY, int dimZ);

    MapArray(MapArray&&) = default;
    MapArray& operator=(MapArray&&) = default;

    const std::string& fileName() const { return fileName_; }
    int dimX() const { return dimX_; }
    int dimY() const { return dimY_; }
    int dimZ() const { return dimZ_; }
    std::int64_t count() const { return count_; }
    bool isOpen() const { return stream_.is_open(); }
    bool hasFloatData() const { return hasFloatData_; }
    bool hasDoubleData() const { return hasDoubleData_; }
    std::vector<float>& floatData() { return floatData_; }
    const std::vector<float>& floatData() const { return floatData_; }
    std::vector<double>& doubleData() { return doubleData_; }
    const std::vector<double>& doubleData() const { return doubleData_; }

    // Float map: reads values start .. start + n - 1 of the file into floatData()[0 ..].
    // Returns the number of complete values stored; 0 when the request starts at or beyond
    // the end of the file or an earlier request already ran into the end. Elements not
    // stored keep their previous content. n is limited to count().
    std::int64_t readRange(std::int64_t start, std::int64_t n);

    // Double map: writes the count() doubles to fileName + ".pca". Returns count(), or 0
    // when the file could not be created or written in full (reported on the console and
    // the report stream).
    std::int64_t writeBinary(Console& console, std::ostream& report);
    // The same, written to path; messages still name fileName + ".pca".
    std::int64_t writeBinary(Console& console, std::ostream& report, const std::string& path);

    // Double map: the slices summed into one dimX * dimY plane, rescaled to 0..255 and
    // written as an ASCII greyscale image to fileName + ".pgm". Returns false when there is
    // no double data or the file could not be written in full (reported).
    bool writeMapPgm(Console& console, std::ostream& report);
    // The same, written to path; messages still name fileName + ".pgm".
    bool writeMapPgm(Console& console, std::ostream& report, const std::string& path);

    // Double map: every value rounded to single precision; both buffers are released.
    std::vector<float> takeAsFloat();

    // Closes the file, if one is open.
    void close();
    // Closes the file and frees both buffers.
    void release();

  private:
    MapArray(const std::string& fileName, int dimX, int dimY, int dimZ);

    std::string fileName_;
    std::ifstream stream_;
    int dimX_ = 0;
    int dimY_ = 0;
    int dimZ_ = 0;
    std::int64_t count_ = 0;
    std::int64_t fileBytes_ = 0;
    bool hasFloatData_ = false;
    bool hasDoubleData_ = false;
    std::vector<float> floatData_;
    std::vector<double> doubleData_;
};

}  // namespace conesim
