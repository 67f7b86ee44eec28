#include "program/panel/program_callbacks.h"

#include "panelkit/callback_registry.h"
#include "program/panel/control_mode.h"
#include "program/panel/program_run.h"
#include "program/panel/run_view.h"
#include "program/panel/script_file.h"
#include "program/panel/script_transfer.h"

void registerProgramCallbacks() {
    registerCallback("ScriptFileRd", ScriptFileRd);
    registerCallback("ScriptFileWrt", ScriptFileWrt);
    registerCallback("OpenScriptPanel", OpenScriptPanel);
    registerCallback("RdCtrlScript", RdCtrlScript);
    registerCallback("WtCtrlScript", WtCtrlScript);
    registerCallback("SetBand", SetBand);
    registerCallback("CtrlEnableFn", CtrlEnableFn);
    registerCallback("ChkAutoTUneOff", ChkAutoTUneOff);
    registerCallback("StartStopSrp", StartStopSrp);
    registerCallback("ChkSrpOff", ChkSrpOff);
    registerCallback("ChkStep", ChkStep);
    registerCallback("GetLoopCnt", GetLoopCnt);
    registerCallback("LoopMsg", LoopMsg);
    registerCallback("Scrip_Help", Scrip_Help);
    registerCallback("ExitScriptWin", ExitScriptWin);
    registerCallback("DrawProfile", DrawProfile);
}
