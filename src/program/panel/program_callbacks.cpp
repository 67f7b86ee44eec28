#include "program/panel/program_callbacks.h"

#include "panelkit/callback_registry.h"
#include "program/panel/control_mode.h"
#include "program/panel/program_run.h"
#include "program/panel/run_view.h"
#include "program/panel/script_file.h"
#include "program/panel/script_transfer.h"

void registerProgramCallbacks(StepProgramView& view) {
    Controller& c = view.controller;
    registerCallback("ScriptFileRd", boundTo<ScriptFileRd>(view));
    registerCallback("ScriptFileWrt", ScriptFileWrt);
    registerCallback("OpenScriptPanel", boundTo<OpenScriptPanel>(view));
    registerCallback("RdCtrlScript", boundTo<RdCtrlScript>(view));
    registerCallback("WtCtrlScript", boundTo<WtCtrlScript>(view));
    registerCallback("SetBand", boundTo<SetBand>(view));
    registerCallback("CtrlEnableFn", boundTo<CtrlEnableFn>(c));
    registerCallback("ChkAutoTUneOff", boundTo<ChkAutoTUneOff>(c));
    registerCallback("StartStopSrp", boundTo<StartStopSrp>(view));
    registerCallback("ChkSrpOff", boundTo<ChkSrpOff>(view));
    registerCallback("ChkStep", boundTo<ChkStep>(view));
    registerCallback("GetLoopCnt", GetLoopCnt);
    registerCallback("LoopMsg", LoopMsg);
    registerCallback("Scrip_Help", Scrip_Help);
    registerCallback("ExitScriptWin", boundTo<ExitScriptWin>(view));
    registerCallback("DrawProfile", boundTo<DrawProfile>(view));
}
