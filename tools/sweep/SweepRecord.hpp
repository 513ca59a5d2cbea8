// The record a sweep keeps of its runs: the stack of the finished runs' images, its
// MetaImage header and the table of all runs, brought up to date together after each run
// so that on every exit, a full disk included, the three describe the same runs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "sweep/SweepFiles.hpp"

namespace conesim::tools {

struct StackShape {
    std::uint32_t width = 0;   //!< detector pixels per row
    std::uint32_t height = 0;  //!< detector rows
    double pixelSizeX = 1.0;   //!< header spacing along x
    double pixelSizeY = 1.0;   //!< header spacing along y
    std::int64_t inner = 0;    //!< runs per outer value; 0 without an outer axis
};

class SweepRecord {
  public:
    SweepRecord(std::filesystem::path folder, StackShape shape);

    // The finished runs in the stack.
    std::int64_t slices() const { return slices_; }

    // Appends the image file of a finished run to the stack and publishes the header of one
    // more slice and table (whose last row is that run). The new header and table are
    // written completely before the stack grows, and published by renames after it; when any
    // step fails the stack is cut back and the earlier header and table stay, and false
    // returns with error set.
    bool addFinished(const std::filesystem::path& image, const SweepTable& table,
                     std::string& error);

    // Publishes table, whose last row is a run left out of the stack (failed or stopped);
    // on failure the earlier table stays.
    bool addUnstacked(const SweepTable& table, std::string& error);

  private:
    std::filesystem::path stackPath() const;
    std::string headerText(std::int64_t slices) const;
    bool appendSlice(const std::vector<std::uint8_t>& bytes, std::string& error);
    void cutBack();

    std::filesystem::path folder_;
    StackShape shape_;
    std::int64_t slices_ = 0;
};

}  // namespace conesim::tools
