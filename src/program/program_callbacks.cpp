#include "program/program_callbacks.h"

#include "program/control_mode.h"
#include "program/program_run.h"
#include "program/script_file.h"
#include "program/script_transfer.h"
#include "runtime/callback_registry.h"

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
}
