#include "output/RunRecordFile.hpp"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace conesim {

namespace {

using nlohmann::ordered_json;

ordered_json pairsObject(const TextPairs& pairs) {
    ordered_json object = ordered_json::object();
    for (const auto& [key, value] : pairs) {
        object[key] = value;
    }
    return object;
}

TextPairs pairsOf(const ordered_json& object) {
    TextPairs pairs;
    for (const auto& [key, value] : object.items()) {
        pairs.emplace_back(key, value.get<std::string>());
    }
    return pairs;
}

}  // namespace

std::string runRecordText(const RunRecord& r) {
    ordered_json json;
    json["program"] = "conesim";
    json["version"] = r.version;
    json["run"] = r.runName;
    json["parameterFile"] = r.parameterFile;
    json["seed"] = r.seed;
    json["threads"] = r.threads;
    json["processes"] = r.processes;
    json["photonsToRun"] = r.photonsToRun;
    json["photonsRun"] = r.photonsRun;
    json["hits"] = r.hits;
    json["lostCounts"] = r.lostCounts;
    json["exitStatus"] = r.exitStatus;
    json["stoppedEarly"] = r.stop != "none";
    json["stop"] = r.stop;
    json["finished"] = r.finished;
    json["files"] = r.files;
    json["settings"] = pairsObject(r.settings);
    json["planeRecord"] = pairsObject(r.planeRecord);
    return json.dump(2) + "\n";
}

bool writeRunRecord(const std::string& path, const RunRecord& record, std::string& error) {
    const std::string partial = path + ".partial-" + std::to_string(::getpid());
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out << runRecordText(record);
        out.close();
        if (!out) {
            std::remove(partial.c_str());
            error = "ERROR: Cannot write output file " + path + ".";
            return false;
        }
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        std::remove(partial.c_str());
        error = "ERROR: Cannot write output file " + path + ".";
        return false;
    }
    return true;
}

bool readRunRecord(const std::string& path, RunRecord& r, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    const ordered_json json = ordered_json::parse(in, nullptr, false);
    if (json.is_discarded() || !json.is_object() || json.value("program", "") != "conesim") {
        error = path + " holds no run record";
        return false;
    }
    try {
        r.version = json.at("version").get<std::string>();
        r.runName = json.at("run").get<std::string>();
        r.parameterFile = json.at("parameterFile").get<std::string>();
        r.seed = json.at("seed").get<std::uint64_t>();
        r.threads = json.at("threads").get<int>();
        r.processes = json.at("processes").get<int>();
        r.photonsToRun = json.at("photonsToRun").get<std::int64_t>();
        r.photonsRun = json.at("photonsRun").get<std::int64_t>();
        r.hits = json.at("hits").get<std::uint64_t>();
        r.lostCounts = json.at("lostCounts").get<std::uint64_t>();
        r.exitStatus = json.at("exitStatus").get<int>();
        r.stop = json.at("stop").get<std::string>();
        r.finished = json.at("finished").get<bool>();
        r.files = json.at("files").get<std::vector<std::string>>();
        r.settings = pairsOf(json.at("settings"));
        r.planeRecord = pairsOf(json.at("planeRecord"));
    } catch (const ordered_json::exception& problem) {
        error = path + " holds an incomplete run record (" + problem.what() + ")";
        return false;
    }
    return true;
}

}  // namespace conesim
