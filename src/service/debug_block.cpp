#include "service/debug_block.h"

#include "base/hex_text.h"
#include "base/number_text.h"
#include "link/transaction.h"
#include "link/transfer.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/main_panel_view.h"
#include "params/encodings.h"
#include "params/params_state.h"
#include "params/register_map.h"
#include "service/ids/debug_panel.h"

#include <cstdio>

std::string blockLine(Controller& c, uint16_t reg, uint16_t word) {
    char head[96];
    std::snprintf(head, sizeof head, "%s  %-20s %6d  (%s)", hexWord(reg).c_str(),
                  parmRegisterLabel(reg).c_str(), int(int16_t(word)), hexWord(word).c_str());
    std::string line = head;
    if (const ParmRegister* r = findParmRegister(reg); r && r->isReal()) {
        const Scale scale = scaleOf(r->enc, c.scale());
        line += "  " + formatFixed(scale.toValue(int16_t(word)), scale.digits());
    }
    return line;
}

int ReadBlock(Controller& c, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    const int p = DebugPanel::handle;
    int id = 0, high = 0, low = 0, count = 1;
    GetCtrlVal(p, DebugPanel::idEntry, &id);
    GetCtrlVal(p, DebugPanel::regHighEntry, &high);
    GetCtrlVal(p, DebugPanel::regLowEntry, &low);
    GetCtrlVal(p, DebugPanel::countEntry, &count);
    // The entry stops at 16; a count beyond it is never sent.
    if (count < 1 || count > kMaxBlockRegisters) return 0;
    // As the raw request does, the panel's address becomes the controller's.
    c.setControllerId(uint16_t(id));
    MainPanelView::showId(id);
    const uint16_t first = uint16_t((high & 0xFF) << 8 | (low & 0xFF));
    Outcome read;
    {
        const Transaction t(c.line(), settle::poll);
        read = readRegisters(c, first, uint16_t(count));
    }
    if (!read.ok()) {
        const std::string name = read.refused() ? exceptionName(read.exceptionCode) : "";
        SetCtrlVal(p, DebugPanel::blockValues,
                   "No values: " + describe(read) + (name.empty() ? "" : " (" + name + ")"));
        return 0;
    }
    std::string text;
    for (std::size_t i = 0; i < read.words.size(); ++i)
        text += (i ? "\n" : "") + blockLine(c, uint16_t(first + i), read.words[i]);
    SetCtrlVal(p, DebugPanel::blockValues, text);
    return 0;
}
