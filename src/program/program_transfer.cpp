#include "program/program_transfer.h"

#include "base/number_text.h"
#include "link/registers.h"
#include "link/transaction.h"
#include "link/transfer.h"
#include "link/transfer_pace.h"
#include "params/params_state.h"
#include "program/srp_format.h"

#include <cstdio>
#include <utility>

namespace {

uint16_t stepBase(int step) {
    return uint16_t(reg::firstStep + reg::perStep * step);
}

ScriptStep decodeStep(Scale scale, const std::vector<uint16_t>& w) {
    ScriptStep s;
    s.time1 = w[0];
    s.stepSv = scale.toValue(int16_t(w[1]));
    s.time2 = w[2];
    s.action = uint16_t(w[3] & 0xFF); // the controller keeps the action in the low byte
    s.loopCnt = w[4];
    return s;
}

// Nothing for a value its register cannot hold: the entries and the file's
// check keep such a value out, and none is sent wrapped into another.
} // namespace

StepProgramRead readStepProgram(Controller& c) {
    StepProgramRead result;
    const Transaction t(c.line(), settle::bulk);
    Transfer transfer(c);
    constexpr int requests = reg::steps + 1; // the band last
    for (int i = 0; i < reg::steps && !transfer.silent(); ++i) {
        if (!c.line().transferMayGoOn(i, requests)) {
            result.cancelled = true;
            return result;
        }
        const Outcome o = transfer.read(stepBase(i), reg::perStep);
        if (o.ok()) result.steps[std::size_t(i)] = decodeStep(c.scale(), o.words);
    }
    if (!transfer.silent() && !c.line().transferMayGoOn(reg::steps, requests)) {
        result.cancelled = true;
        return result;
    }
    if (!transfer.silent())
        if (const Outcome o = transfer.read(reg::band); o.ok())
            result.band = c.scale().toValue(int16_t(o.words[0]));
    result.silent = transfer.silent();
    return result;
}

StepProgramWrite writeStepProgram(Controller& c, const StepProgram& program) {
    const Transaction t(c.line(), settle::quick);
    // Register order within each step.
    std::vector<std::pair<uint16_t, std::optional<int16_t>>> writes;
    for (int i = 0; i < reg::steps; ++i) {
        const ScriptStep& s = program.steps[std::size_t(i)];
        const uint16_t base = stepBase(i);
        writes.insert(writes.end(), {{base, int16_t(s.time1)},
                                     {uint16_t(base + 1), c.scale().toWord(s.stepSv)},
                                     {uint16_t(base + 2), int16_t(s.time2)},
                                     {uint16_t(base + 3), int16_t(s.action)},
                                     {uint16_t(base + 4), int16_t(s.loopCnt)}});
    }
    writes.emplace_back(reg::band, c.scale().toWord(program.band));

    StepProgramWrite result;
    result.total = int(writes.size());
    for (const auto& write : writes)
        result.ledger.plan(write.first);
    Transfer transfer(c);
    for (const auto& [r, value] : writes) {
        if (transfer.silent()) break;
        if (!c.line().transferMayGoOn(result.sent, result.total)) {
            result.cancelled = true;
            break;
        }
        ++result.sent;
        const Outcome o = value ? transfer.write(r, *value) : Outcome{};
        if (value) result.ledger.note(r, o);
        if (o.refused())
            result.refused.push_back(r);
        else if (!o.ok())
            result.unconfirmed.push_back(r);
    }
    result.silent = transfer.silent();
    return result;
}

bool writeBand(Controller& c, double band) {
    const auto word = c.scale().toWord(band);
    return word && writeRegister(c, reg::band, *word).ok();
}

std::optional<StepProgram> wholeProgram(const StepProgramRead& read,
                                        std::vector<std::string>* missing) {
    missing->clear();
    for (std::size_t i = 0; i < read.steps.size(); ++i)
        if (!read.steps[i]) missing->push_back("step " + std::to_string(i));
    if (!read.band) missing->push_back(kBandName);
    if (!missing->empty()) return std::nullopt;
    StepProgram program;
    for (std::size_t i = 0; i < read.steps.size(); ++i)
        program.steps[i] = *read.steps[i];
    program.band = *read.band;
    return program;
}
