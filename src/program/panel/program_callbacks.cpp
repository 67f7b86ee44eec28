#include "program/panel/program_callbacks.h"

#include "panelkit/callback_registry.h"
#include "program/panel/control_mode.h"
#include "program/panel/program_run.h"
#include "program/panel/run_view.h"
#include "program/panel/script_file.h"
#include "program/panel/script_transfer.h"

void registerProgramCallbacks(Controller& c) {
    registerCallback("ScriptFileRd", boundTo<ScriptFileRd>(c));
    registerCallback("ScriptFileWrt", ScriptFileWrt);
    registerCallback("OpenScriptPanel", boundTo<OpenScriptPanel>(c));
    registerCallback("RdCtrlScript", boundTo<RdCtrlScript>(c));
    registerCallback("WtCtrlScript", boundTo<WtCtrlScript>(c));
    registerCallback("SetBand", boundTo<SetBand>(c));
    registerCallback("CtrlEnableFn", boundTo<CtrlEnableFn>(c));
    registerCallback("ChkAutoTUneOff", boundTo<ChkAutoTUneOff>(c));
    registerCallback("StartStopSrp", boundTo<StartStopSrp>(c));
    registerCallback("ChkSrpOff", boundTo<ChkSrpOff>(c));
    registerCallback("ChkStep", boundTo<ChkStep>(c));
    registerCallback("GetLoopCnt", GetLoopCnt);
    registerCallback("LoopMsg", LoopMsg);
    registerCallback("Scrip_Help", Scrip_Help);
    registerCallback("ExitScriptWin", boundTo<ExitScriptWin>(c));
    registerCallback("DrawProfile", boundTo<DrawProfile>(c));
}
