#include "mainpanel/params_callbacks.h"

#include "mainpanel/bulk_read_view.h"
#include "mainpanel/controller_controls.h"
#include "mainpanel/group_setters.h"
#include "mainpanel/help_texts.h"
#include "mainpanel/parameter_file_commands.h"
#include "mainpanel/rescale.h"
#include "mainpanel/setters.h"
#include "panelkit/callback_registry.h"

#include <string_view>

namespace {

// Help-only controls: a right click shows the text; so does a click on a
// "?" button (a control named ...Help), but not a value committed in an entry.
template <const char* Name> int helpOnly(int, CtrlId control, int event) {
    const bool helpButton = control.size() >= 4 && control.substr(control.size() - 4) == "Help";
    if (event == EVENT_RIGHT_CLICK || (event == EVENT_COMMIT && helpButton)) showHelp(Name);
    return 0;
}

constexpr char kSwFilter[] = "HelpSWfilter", kAlarm[] = "HelpAlarm", kSoft[] = "SoftStartHelp",
               kDelay[] = "AlarmDelayTimeHelp", kHiLo[] = "HiLoOfSetHelp",
               kDuty[] = "DutyCycleHelp", kCycle[] = "CycleTimeHelp";

} // namespace

void registerParamsCallbacks(Controller& c, Rescale& rescale) {
    registerCallback("ReadAllParm", boundTo<ReadAllParm>(c));
    registerCallback("WriteAllParm", boundTo<WriteAllParm>(c));
    registerCallback("RdParmFromFile", boundTo<RdParmFromFile>(c));
    registerCallback("SetCF", boundTo<SetCF>(rescale));
    registerCallback("SetDirRev", boundTo<SetDirRev>(c));
    registerCallback("SetSensor", boundTo<SetSensor>(c));
    registerCallback("SetDecimalPnt", boundTo<SetDecimalPnt>(rescale));
    registerCallback("SetTimeUnit", boundTo<SetTimeUnit>(c));
    registerCallback("SetEROP", boundTo<SetEROP>(c));
    registerCallback("SetAlarmFunc1", boundTo<SetAlarmFunc1>(c));
    registerCallback("SetAlarmMode1", boundTo<SetAlarmMode1>(c));
    registerCallback("SetKeyLock", boundTo<SetKeyLock>(c));
    registerCallback("SetCycleTime", boundTo<SetCycleTime>(c));
    registerCallback("updateSoftStart", boundTo<updateSoftStart>(c));
    registerCallback("UpdateOption", boundTo<UpdateOption>(c));
    registerCallback("UpdateAlarm", boundTo<UpdateAlarm>(c));
    registerCallback(kSwFilter, helpOnly<kSwFilter>);
    registerCallback(kAlarm, helpOnly<kAlarm>);
    registerCallback(kSoft, helpOnly<kSoft>);
    registerCallback(kDelay, helpOnly<kDelay>);
    registerCallback(kHiLo, helpOnly<kHiLo>);
    registerCallback(kDuty, helpOnly<kDuty>);
    registerCallback(kCycle, helpOnly<kCycle>);
    dimWhenDisconnected(c);
}
