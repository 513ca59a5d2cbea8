#include "common/StagedFiles.hpp"

#include "formats/RawVolume.hpp"
#include "util/BinaryFile.hpp"

namespace conesim::tools {

bool StagedFiles::addPng(const std::string& path, const GreyImage& grey, std::string& error) {
    auto pending = std::make_unique<PendingFile>(path);
    if (!pending->create(error)) {
        return false;
    }
    PendingFile& staged = *files_.emplace_back(std::move(pending));
    if (!writeGreyPng(staged.temporaryPath(), grey, error)) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

bool StagedFiles::addText(const std::string& path, const std::string& text, std::string& error) {
    PendingFile& file = *files_.emplace_back(std::make_unique<PendingFile>(path));
    return stageFile(file, text.data(), text.size(), error);
}

bool StagedFiles::addFloatVolume(const std::string& rawPath, const MetaImageLayout& layout,
                                 const std::vector<float>& values, std::string& error) {
    return stageFloatVolume(rawPath, layout, values, files_, error);
}

bool StagedFiles::publish(std::string& error) {
    std::vector<PendingFile*> files;
    for (const auto& file : files_) {
        files.push_back(file.get());
    }
    return commitTogether(files, error);
}

}  // namespace conesim::tools
