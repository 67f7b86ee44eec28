#include "runs/run_chain.h"

#include <QCryptographicHash>

#include <algorithm>
#include <charconv>
#include <tuple>

void chainReal(std::string& out, std::optional<double> v) {
    if (!v) {
        out += "-\n";
        return;
    }
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, *v);
    out.append(buf, r.ptr);
    out += '\n';
}

void chainWhole(std::string& out, std::optional<long long> v) {
    out += v ? std::to_string(*v) : std::string("-");
    out += '\n';
}

namespace {

void real(std::string& out, std::optional<double> v) {
    chainReal(out, v);
}

void whole(std::string& out, std::optional<long long> v) {
    chainWhole(out, v);
}

void text(std::string& out, const std::string& s) {
    whole(out, (long long)s.size());
    out += s;
    out += '\n';
}

} // namespace

ChainHash chainStart(long long run, double opened) {
    std::string start = "q7 run chain 1\n";
    whole(start, run);
    real(start, opened);
    return chainNext(std::string(), start);
}

ChainHash chainNext(const ChainHash& prev, const std::string& content) {
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(QByteArrayView(prev.data(), qsizetype(prev.size())));
    h.addData(QByteArrayView(content.data(), qsizetype(content.size())));
    return h.result().toStdString();
}

std::string samplesLink(std::vector<RunSample> samples) {
    std::stable_sort(samples.begin(), samples.end(), [](const RunSample& a, const RunSample& b) {
        return std::tie(a.time, a.zone) < std::tie(b.time, b.zone);
    });
    std::string out = "samples\n";
    whole(out, (long long)samples.size());
    for (const RunSample& s : samples) {
        real(out, s.time);
        whole(out, s.zone);
        real(out, s.pv);
        real(out, s.sv);
        real(out, s.output);
        real(out, s.planSv);
    }
    return out;
}

std::string eventLink(const ChainEvent& e) {
    std::string out = "event\n";
    real(out, e.time);
    whole(out, e.zone ? std::optional<long long>(*e.zone) : std::nullopt);
    text(out, e.kind);
    whole(out, e.segment);
    text(out, e.text);
    return out;
}

std::string endLink(const std::string& outcome, std::optional<double> ended) {
    std::string out = "end\n";
    text(out, outcome);
    real(out, ended);
    return out;
}

std::string hashHex(const ChainHash& hash) {
    return QByteArray::fromStdString(hash).toHex().toStdString();
}
