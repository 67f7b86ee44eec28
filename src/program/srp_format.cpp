#include "program/srp_format.h"

#include "base/atomic_file.h"
#include "base/number_text.h"
#include "link/registers.h"
#include "params/field_check.h"
#include "program/step_register_name.h"

namespace {

constexpr int kNumbersPerStep = 5;
constexpr int kNumbers = 8 * kNumbersPerStep + 1;
constexpr std::string_view kStepSeparator = " \t\t\t\t\t\t\t\t";

bool fail(std::string* why, std::string text) {
    if (why) *why = std::move(text);
    return false;
}

// Reads the file's numbers in order, each checked against what its register
// holds, and says where the first that does not fit stands.
class Reader {
  public:
    Reader(std::string_view text, std::string* why, std::vector<std::string>* doubts)
        : text_(text), tokens_(splitTokens(text)), why_(why), doubts_(doubts) {}

    std::size_t count() const { return tokens_.size(); }

    // Set values and the band are kept as the panel shows them, so whatever
    // decimal point a program was saved under, they lie within what a
    // register holds in whole degrees.
    bool real(uint16_t reg, double* out) {
        const std::string_view t = tokens_[next_];
        const auto v = parseReal(t);
        if (!v) return fail(why_, spot() + " (\"" + std::string(t) + "\") is not a number");
        if (*v < kSetValueMin || *v > kSetValueMax)
            return fail(why_, spot() + " (" + std::string(t) + ") is more than a register holds");
        if (!fits(reg, *v)) return false;
        *out = *v;
        ++next_;
        return true;
    }

    bool word(uint16_t reg, uint16_t* out) {
        const std::string_view t = tokens_[next_];
        const auto v = parseWhole(t);
        if (!v)
            return fail(why_, spot() + " (\"" + std::string(t) +
                                  "\") is not a whole number from 0 to 65535");
        if (!fits(reg, double(*v))) return false;
        *out = uint16_t(*v);
        ++next_;
        return true;
    }

  private:
    std::string spot() const { return fileSpot(text_, tokens_[next_], "number", next_ + 1); }

    bool fits(uint16_t reg, double v) {
        const FieldVerdict verdict = checkField(*registerField(reg), v, stepRegisterName(reg));
        if (verdict.fit == FieldFit::outside)
            return fail(why_, spot() + " (" + std::string(tokens_[next_]) + ") " + verdict.why);
        if (verdict.fit == FieldFit::unknownCode && doubts_)
            doubts_->push_back(spot() + ": " + verdict.why);
        return true;
    }

    std::string_view text_;
    std::vector<std::string_view> tokens_;
    std::string* why_;
    std::vector<std::string>* doubts_;
    std::size_t next_ = 0;
};

} // namespace

std::string formatSrp(const StepProgram& program) {
    std::string out;
    for (const ScriptStep& s : program.steps) {
        out += formatFixed(s.stepSv, 1, 6);
        for (uint16_t v : {s.time1, s.time2, s.action, s.loopCnt}) {
            out += ' ';
            out += formatWhole(v);
        }
        out += kStepSeparator;
    }
    out += formatFixed(program.band, 1, 6);
    return out;
}

std::optional<StepProgram> parseSrp(std::string_view text, std::string* why,
                                    std::vector<std::string>* doubts) {
    std::vector<std::string> found;
    Reader read(text, why, &found);
    if (read.count() < std::size_t(kNumbers)) {
        fail(why, "it holds " + std::to_string(read.count()) + " numbers instead of 41");
        return std::nullopt;
    }
    if (read.count() > std::size_t(kNumbers)) {
        fail(why, "something follows the 41st number");
        return std::nullopt;
    }
    StepProgram p;
    for (int i = 0; i < reg::steps; ++i) {
        ScriptStep& s = p.steps[std::size_t(i)];
        const auto base = uint16_t(reg::firstStep + reg::perStep * i);
        // File order; the registers take time 1 first.
        if (!read.real(uint16_t(base + 1), &s.stepSv) || !read.word(base, &s.time1) ||
            !read.word(uint16_t(base + 2), &s.time2) || !read.word(uint16_t(base + 3), &s.action) ||
            !read.word(uint16_t(base + 4), &s.loopCnt))
            return std::nullopt;
    }
    if (!read.real(reg::band, &p.band)) return std::nullopt;
    if (doubts) *doubts = std::move(found);
    return p;
}

std::optional<StepProgram> readSrpFile(const std::string& path, std::string* why,
                                       std::vector<std::string>* doubts) {
    if (std::string notFile = notARegularFile(path); !notFile.empty()) {
        fail(why, notFile);
        return std::nullopt;
    }
    std::string content;
    if (!readSmallFile(path, &content, kMaxSrpBytes)) {
        fail(why, "it cannot be read, or is far larger than a step program file");
        return std::nullopt;
    }
    return parseSrp(content, why, doubts);
}

std::string valueOutside(double value, double low, double high, const std::string& name) {
    constexpr double kSlack = 1e-6; // the file's one decimal against binary limits
    if (value >= low - kSlack && value <= high + kSlack) return {};
    return name + " (" + formatFixed(value, 1) + ") is outside what its field takes, " +
           formatFixed(low, 1) + " to " + formatFixed(high, 1);
}

std::string programOutside(const StepProgram& program, double low, double high) {
    for (std::size_t i = 0; i < program.steps.size(); ++i) {
        const std::string why =
            valueOutside(program.steps[i].stepSv, low, high, stepSetValueName(int(i)));
        if (!why.empty()) return why;
    }
    return valueOutside(program.band, low, high, kBandName);
}

std::string stepSetValueName(int step) {
    return "the set value of step " + std::to_string(step);
}
