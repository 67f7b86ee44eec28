#include "params/parameter_backup.h"

#include "link/registers.h"
#include "params/parameter_file.h"
#include "params/params_state.h"
#include "params/register_map.h"

#include <algorithm>

namespace {

bool inPidBlock(uint16_t reg) {
    return reg >= reg::pidFirst && reg < reg::pidFirst + reg::pidCount;
}

bool inFile(const ParmRegister& r) {
    if (r.isReal()) return std::ranges::find(kFileReals, r.real) != std::end(kFileReals);
    return std::ranges::find(kFileInts, r.word) != std::end(kFileInts);
}

bool anyUnread(const Controller& c, bool pidBlock) {
    return std::ranges::any_of(unreadFileRegisters(c),
                               [&](uint16_t reg) { return inPidBlock(reg) == pidBlock; });
}

} // namespace

std::vector<uint16_t> unreadFileRegisters(const Controller& c) {
    std::vector<uint16_t> unread;
    for (const ParmRegister& r : parmRegisters())
        if (r.reg != reg::reg25Tenths && inFile(r) && !c.isHeld(r.reg)) unread.push_back(r.reg);
    return unread;
}

BackupRead readBackup(Controller& c, const ParameterProgress& progress) {
    BackupRead result;
    if (anyUnread(c, false)) {
        result.parameters = readParameters(c, progress);
        const BulkReadResult& p = result.parameters;
        if (p.silent || p.cancelled || !p.failed.empty()) return result;
    }
    if (anyUnread(c, true)) {
        result.pidBlock = readPidBlock(c);
        if (!result.pidBlock->ok()) return result;
    }
    result.complete = unreadFileRegisters(c).empty();
    return result;
}

std::variant<std::string, std::vector<uint16_t>> backupFileText(const Controller& c) {
    if (std::vector<uint16_t> unread = unreadFileRegisters(c); !unread.empty()) return unread;
    return formatParameterFile(c.parmRecord);
}
