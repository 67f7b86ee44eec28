#include "serve/line_modbus.h"

#include "base/hex_text.h"
#include "base/id_list.h"
#include "link/frames.h"
#include "link/registers.h"

#include <chrono>

namespace {

namespace ex = modbus_exception;

// The registers another master may write, and the setting each is.
std::optional<Setting> settingAt(uint16_t address) {
    switch (address) {
    case reg::setValue:
        return Setting::sv;
    case reg::outputLevel:
        return Setting::out;
    case reg::controlMode:
        return Setting::mode;
    default:
        return std::nullopt;
    }
}

std::vector<uint8_t> readReply(uint8_t function, const std::vector<uint16_t>& words) {
    std::vector<uint8_t> pdu{function, uint8_t(2 * words.size())};
    for (uint16_t w : words) {
        pdu.push_back(uint8_t(w >> 8));
        pdu.push_back(uint8_t(w & 0xFF));
    }
    return pdu;
}

// What became of a request that did not get a good reply, as another
// master is told it: the controller's own refusal, one that came back
// spoilt (it may have been carried out), or none at all.
uint8_t exceptionFor(Fault fault) {
    switch (fault) {
    case Fault::damaged:
    case Fault::wrongSlave:
    case Fault::wrongFunction:
    case Fault::mismatch:
        return ex::deviceFailure;
    default:
        return ex::targetSilent;
    }
}

} // namespace

LineModbus::LineModbus(const ModbusConfig& config, const LineConfig& line, BridgeLine& bridgeLine,
                       ModbusDesk& desk, Write write, Log log)
    : config_(config), line_(line), bridgeLine_(bridgeLine), desk_(desk), write_(std::move(write)),
      log_(std::move(log)) {}

void LineModbus::attach(std::function<void()> wake) {
    desk_.attach(std::move(wake));
}

void LineModbus::finish() {
    desk_.detach();
    for (ModbusAsk& a : waiting_)
        a.answer(exceptionPdu(a.function, ex::pathUnavailable));
    waiting_.clear();
}

void LineModbus::polled(int id, const Reading& r) {
    auto& held = polled_[id];
    const auto now = lineClock().now();
    for (const auto& [address, word] : r.words)
        held[address] = {word, now};
}

std::string LineModbus::who(const ModbusAsk& a) const {
    return "modbus: " + line_.name + "/" + std::to_string(a.unit);
}

bool LineModbus::due() {
    while (auto a = desk_.take()) {
        if (a->gone && *a->gone) continue;
        if (auto pdu = withoutLine(*a))
            a->answer(std::move(*pdu));
        else
            waiting_.push_back(std::move(*a));
    }
    return !waiting_.empty();
}

std::optional<std::vector<uint8_t>> LineModbus::withoutLine(const ModbusAsk& a) {
    if (!idListed(line_.ids, a.unit)) return exceptionPdu(a.function, ex::targetSilent);
    if (a.function == kFnWriteSingle) {
        const auto s = settingAt(a.address);
        if (s && config_.writes.count(*s) && line_.writes.count(*s)) return std::nullopt;
        log_(who(a) + ": write of " + std::to_string(a.countOrValue) + " to register " +
             hexWord(a.address) + " refused (exception 01): " +
             (s ? "the bridge's config does not name " + std::string(settingName(*s)) +
                      " in writes"
                : "no other master may write it") +
             "; nothing was sent");
        return exceptionPdu(a.function, ex::illegalFunction);
    }
    // A read answered from the latest good poll, when every register asked
    // came in it, not longer ago than max_age.
    const auto held = polled_.find(a.unit);
    if (config_.maxAge <= 0 || held == polled_.end()) return std::nullopt;
    const auto oldest = lineClock().now() - std::chrono::duration_cast<Clock::TimePoint::duration>(
                                                std::chrono::duration<double>(config_.maxAge));
    std::vector<uint16_t> words;
    for (uint32_t r = a.address; r < uint32_t(a.address) + a.countOrValue; ++r) {
        const auto at = held->second.find(uint16_t(r));
        if (at == held->second.end() || at->second.at < oldest) return std::nullopt;
        words.push_back(at->second.word);
    }
    return readReply(a.function, words);
}

void LineModbus::serveOne() {
    if (waiting_.empty()) return;
    ModbusAsk a = std::move(waiting_.front());
    waiting_.pop_front();
    if (a.gone && *a.gone) return;
    a.answer(a.function == kFnWriteSingle ? write(a) : read(a));
}

std::vector<uint8_t> LineModbus::read(const ModbusAsk& a) {
    const Outcome o = bridgeLine_.readWords(a.unit, a.function, a.address, a.countOrValue);
    if (o.ok()) return readReply(a.function, o.words);
    return exceptionPdu(a.function, o.refused() ? o.exceptionCode : exceptionFor(o.fault));
}

std::vector<uint8_t> LineModbus::write(const ModbusAsk& a) {
    const Setting s = *settingAt(a.address);
    // Whatever becomes of the write, what the poll held of the register may
    // no longer be so.
    polled_[a.unit].erase(a.address);
    const SettingResult r = write_(a.unit, s, a.countOrValue);
    const std::string what = who(a) + ": set " + std::string(settingName(s)) + " to word " +
                             std::to_string(a.countOrValue);
    if (r.ok) {
        // The poll after the write holds what the controller has now.
        log_(what + ": done");
        return {kFnWriteSingle, uint8_t(a.address >> 8), uint8_t(a.address & 0xFF),
                uint8_t(a.countOrValue >> 8), uint8_t(a.countOrValue & 0xFF)};
    }
    const uint8_t code = r.valueRefused                ? ex::illegalValue
                         : r.fault == Fault::exception ? ex::deviceFailure
                                                       : exceptionFor(r.fault);
    log_(what + ": refused (exception " + hexByte(code) + "): " + r.reason);
    return exceptionPdu(a.function, code);
}
