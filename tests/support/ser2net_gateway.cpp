#include "support/ser2net_gateway.h"

#include "support/gui_fixture.h"
#include "support/raw_stream.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

const char kSer2net[] = "/usr/sbin/ser2net";

} // namespace

Ser2netGateway::Ser2netGateway(const std::string& device, long baud) : baud_(baud) {
    char tmpl[] = "/tmp/q7gateway.XXXXXX";
    if (!::mkdtemp(tmpl)) {
        why_ = "no temporary folder";
        return;
    }
    dir_ = tmpl;
    std::error_code error;
    serial_ = std::filesystem::canonical(device, error).string();
    if (error) {
        why_ = "no device " + device;
        return;
    }
    // Another test's server may take the port found free before ser2net
    // binds it; then a new port is tried.
    for (int attempt = 0; attempt < 5 && !process_; ++attempt) {
        port_ = freeLoopbackPort();
        if (!writeConfig()) return;
        start();
    }
}

bool Ser2netGateway::writeConfig() {
    // Debian 12's ser2net reads YAML; a banner or telnet would put bytes of
    // its own among the frames, so the accepter is plain tcp.
    std::ofstream config(dir_ + "/gateway.yaml");
    config << "%YAML 1.1\n---\n"
           << "connection: &q7\n"
           << "    accepter: tcp,127.0.0.1," << port_ << "\n"
           << "    connector: serialdev," << serial_ << "," << baud_ << "n82,local\n"
           << "    options:\n"
           << "      kickolduser: true\n";
    if (config.flush()) return true;
    why_ = "cannot write the gateway's config";
    return false;
}

Ser2netGateway::~Ser2netGateway() {
    stop();
    if (!dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
}

std::string Ser2netGateway::device() const {
    if (!process_) return "";
    return "rtu+tcp://127.0.0.1:" + std::to_string(port_);
}

void Ser2netGateway::stop() {
    process_.reset();
}

bool Ser2netGateway::start() {
    if (process_ || dir_.empty()) return bool(process_);
    if (::access(kSer2net, X_OK) != 0) {
        why_ = "ser2net is not installed";
        return false;
    }
    // -n: in the foreground, so the PID we hold is the gateway's own. Only
    // this process listening on the port shows the port is ours: something
    // else accepting there says nothing of our gateway.
    auto process = std::make_unique<ChildProcess>(
        std::vector<std::string>{kSer2net, "-n", "-c", dir_ + "/gateway.yaml"}, false,
        dir_ + "/stderr");
    const bool up =
        process->pid() > 0 &&
        waitUntil([&] { return !process->running() || listeningIn(process->pid(), port_); }) &&
        process->running();
    if (!up) {
        std::ifstream log(dir_ + "/stderr");
        why_ = "ser2net did not serve 127.0.0.1:" + std::to_string(port_) + ": " +
               std::string(std::istreambuf_iterator<char>(log), {});
        return false;
    }
    process_ = std::move(process);
    return true;
}
