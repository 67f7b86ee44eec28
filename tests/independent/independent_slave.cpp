#include "independent_slave.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sys/wait.h>
#include <thread>
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
    const std::string script = std::string(Q7_TESTS_DIR) + "/independent/" + scriptName;
    pid_ = fork();
    if (pid_ == 0) {
        std::vector<std::string> args{"/usr/bin/python3", script, dir_};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + seconds(20);
    while (steady_clock::now() < deadline && !exists(dir_ + "/ready")) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            why_ = scriptName + " ended at once: are python3-pymodbus and socat installed?";
            return;
        }
        std::this_thread::sleep_for(milliseconds(20));
    }
    if (!exists(dir_ + "/ready")) {
        why_ = scriptName + " did not get ready";
        return;
    }
    device_ = dir_ + "/master";
}

IndependentSlave::~IndependentSlave() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    if (!dir_.empty()) {
        const std::string cmd = "rm -rf '" + dir_ + "'";
        [[maybe_unused]] const int rc = std::system(cmd.c_str());
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
