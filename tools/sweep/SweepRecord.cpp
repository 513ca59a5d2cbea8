#include "sweep/SweepRecord.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>
#include <vector>

#include "common/BinaryFile.hpp"
#include "formats/MetaImageHeader.hpp"
#include "util/PendingFile.hpp"

namespace conesim::tools {

namespace fs = std::filesystem;

namespace {

bool stage(PendingFile& pending, const std::string& text, std::string& error) {
    return stageFile(pending, text.data(), text.size(), error);
}

std::uint64_t sliceBytes(const StackShape& shape) {
    return std::uint64_t{shape.width} * shape.height * 4U;
}

}  // namespace

SweepRecord::SweepRecord(fs::path folder, StackShape shape)
    : folder_(std::move(folder)), shape_(shape) {}

fs::path SweepRecord::stackPath() const {
    return folder_ / kSweepStackName;
}

std::string SweepRecord::headerText(std::int64_t slices) const {
    MetaImageLayout layout;
    layout.dimensions = {shape_.width, shape_.height, slices};
    layout.spacing = {shape_.pixelSizeX, shape_.pixelSizeY, 1.0};
    // With an outer axis the header is four-dimensional while the runs fill whole outer
    // values; the runs of an outer value begun but not finished (a failure, a stop, a sweep
    // in progress) can only be described as the plain run after run volume.
    if (shape_.inner > 0 && slices % shape_.inner == 0) {
        layout.dimensions = {shape_.width, shape_.height, shape_.inner, slices / shape_.inner};
        layout.spacing.push_back(1.0);
    }
    layout.type = MetaElementType::kUint32;
    return metaImageHeaderText(stackPath().string(), layout);
}

bool SweepRecord::appendSlice(const std::vector<std::uint8_t>& bytes, std::string& error) {
    const std::string path = stackPath().string();
    // The stack is the sweep's own file: never written through a link.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW, 0644);
    if (fd < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    const auto before =
        static_cast<off_t>(sliceBytes(shape_) * static_cast<std::uint64_t>(slices_));
    bool good = ::ftruncate(fd, before) == 0 && ::lseek(fd, before, SEEK_SET) == before;
    std::size_t done = 0;
    while (good && done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        good = written > 0;
        done += good ? static_cast<std::size_t>(written) : 0;
    }
    const int writeError = good ? 0 : errno;
    good = good && ::fsync(fd) == 0;
    const int syncError = good || writeError != 0 ? writeError : errno;
    good = (::close(fd) == 0) && good;
    if (!good) {
        error = "cannot write " + path +
                (syncError != 0 ? std::string(": ") + std::strerror(syncError) : "");
        cutBack();
        return false;
    }
    return true;
}

void SweepRecord::cutBack() {
    std::error_code ignored;
    if (slices_ == 0) {
        fs::remove(stackPath(), ignored);
    } else {
        fs::resize_file(stackPath(), sliceBytes(shape_) * static_cast<std::uint64_t>(slices_),
                        ignored);
    }
}

bool SweepRecord::addFinished(const fs::path& image, const SweepTable& table, std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (!readFileBytes(image.string(), bytes, error)) {
        return false;
    }
    if (bytes.size() != sliceBytes(shape_)) {
        error = image.string() + " holds " + std::to_string(bytes.size()) + " bytes, not the " +
                std::to_string(sliceBytes(shape_)) + " of a " + std::to_string(shape_.width) +
                " x " + std::to_string(shape_.height) + " image";
        return false;
    }
    PendingFile header(metaImageHeaderPath(stackPath().string()));
    PendingFile tableFile((folder_ / kSweepTableName).string());
    if (!stage(header, headerText(slices_ + 1), error) ||
        !stage(tableFile, sweepTableText(table), error) || !appendSlice(bytes, error)) {
        return false;
    }
    if (!commitTogether({&header, &tableFile}, error)) {
        cutBack();
        // A header already renamed was withdrawn again: the earlier one is put back.
        if (slices_ > 0) {
            PendingFile earlier(metaImageHeaderPath(stackPath().string()));
            std::string ignored;
            if (stage(earlier, headerText(slices_), ignored)) {
                earlier.commit(ignored);
            }
        }
        return false;
    }
    ++slices_;
    return true;
}

bool SweepRecord::addUnstacked(const SweepTable& table, std::string& error) {
    PendingFile tableFile((folder_ / kSweepTableName).string());
    return stage(tableFile, sweepTableText(table), error) && tableFile.commit(error);
}

}  // namespace conesim::tools
