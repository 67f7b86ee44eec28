#include "independent_slave.h"

#include "support/gui_fixture.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

bool exists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

std::vector<std::string> lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> all;
    for (std::string line; std::getline(in, line);)
        all.push_back(line);
    return all;
}

} // namespace

IndependentSlave::IndependentSlave(const std::vector<std::string>& options,
                                   const std::string& scriptName) {
    char tmpl[] = "/tmp/q7slave.XXXXXX";
    if (!mkdtemp(tmpl)) {
        why_ = "no temporary folder";
        return;
    }
    dir_ = tmpl;
    std::vector<std::string> args{"/usr/bin/python3",
                                  std::string(Q7_TESTS_DIR) + "/independent/" + scriptName, dir_};
    args.insert(args.end(), options.begin(), options.end());
    process_ = std::make_unique<ChildProcess>(args);
    const bool ready = waitUntil([&] { return exists(dir_ + "/ready") || !process_->running(); },
                                 std::chrono::seconds(20));
    if (!process_->running()) {
        why_ = scriptName + " ended at once: are python3-pymodbus and socat installed?";
        return;
    }
    if (!ready || !exists(dir_ + "/ready")) {
        why_ = scriptName + " did not get ready";
        return;
    }
    if (std::find(options.begin(), options.end(), "--tcp") == options.end()) {
        device_ = dir_ + "/master";
        return;
    }
    const std::vector<std::string> port = lines(dir_ + "/port");
    port_ = port.empty() ? 0 : uint16_t(std::stoi(port.front()));
    device_ = "tcp://127.0.0.1:" + std::to_string(port_);
}

IndependentSlave::~IndependentSlave() {
    process_.reset();
    if (!dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
}

std::vector<std::string> IndependentSlave::requests() const {
    std::vector<std::string> all = lines(dir_ + "/requests.log");
    all.erase(all.begin(), all.begin() + long(std::min(seen_, all.size())));
    return all;
}

void IndependentSlave::clearRequests() {
    seen_ = lines(dir_ + "/requests.log").size();
}
