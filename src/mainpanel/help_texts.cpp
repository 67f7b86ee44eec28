#include "mainpanel/help_texts.h"

#include <cstring>

namespace {

constexpr HelpText kHelp[] = {
    {"SetCF", "<Fahrenheit/Celsius Unit Change> Help",
        "The program changes the PV value only, it does not the convert other parameter's format.\n"
        "\t\t\t\t\t\t  The user will need to convert all relative parameters to the proper values.\n"
        "\t\t\t\t\t\t  If you need to use in Fahrenheit, it is better to create another\n"
        "\t\t\t\t\t\t  set of parameter file"},
    {"SetDirRev", "<Hot/Cold Direction Change> Help",
        "Select the output logic for the Heater or Cooler control.\n"
        "\t\t\t\t\t\t  Dir - Direct action used for cooling process\n"
        "\t\t\t\t\t\t  Rev - Reverse action used for heating process"},
    {"SetDecimalPnt", "<Decimal Point Selection> Help",
        "The program only change the PV value, it doesn't convert rest of the temperature parameters.\n"
        "\t\t\t\t\t\t  The user will need to convert all temperature related parameters to the proper values.\n"
        "\t\t\t\t\t\t  If you need to use between two types of decimal point, it's better to create\n"
        "\t\t\t\t\t\t  two sets of parameter files"},
    {"HelpSWfilter", "<SW Filter> Help",
        "When sensor reading is unstable, it become difficult to process PID.\n"
        "\t\t\t\t\t\t  SW Filter is used to average the readings and stablize the system.\n"
        "\t\t\t\t\t\t  The lager the SW Filter number(Max: 9.9), the smoother the reading.\n"
        "\t\t\t\t\t\t  But it also slow down the PID response.\n"
        "\t\t\t\t\t\t  Under normal condition, the system should run at default number '0'."},
    {"HelpAlarm", "<Alarm Value> Help",
        "Alarm Set Point - The set point of alarm even.\n"
        "\n"
        "\t\t\t\t\tHysteresis - The hysteresis (unit: Deg) to turn off alarm even"},
    {"SetTimeUnit", "<Time Unit Selection> Help",
        "Select Time Unit by MMSS(min:sec) or HHMM (hr:min) format .\n"},
    {"SetEROP", "<EROP> Error Operation Help",
        "EROP: Select Output operation when Error occure.\n"
        "\t\t\t\t\t\t  Error type: oPEn, AdEr, EPEr, AtEr, Flashing\n"
        "\t\t\t\t\t\t  Select the control output and alarm output opeartion when Error occured.\n"},
    {"SetAlarmFunc1", "<A1FU> Help",
        "A1FU: Select Alarm 1 fuction.\n"
        "\t\t\t\t\t\t  Please refer to the printed manual -Figure 7\n"
        "\t\t\t\t\t\t  A.oFF:  Alarm action off\n"
        "\t\t\t\t\t\t  A.Hi:   Process high alarm when PV> AlarmSP\n"
        "\t\t\t\t\t\t  A.Lo:   Process low  alarm when PV< AlarmSP\n"
        "\t\t\t\t\t\t  A.diH:  Process high alarm when PV> [SP+AlarmSP]\n"
        "\t\t\t\t\t\t  A.diL:  Process low  alarm when PV< [SP-AlarmSP]\n"
        "\t\t\t\t\t\t  A.bdH:  Process alarm when PV beyond band of [SP-AlarmSP] to [SP+AlarmSP]\n"
        "\t\t\t\t\t\t  A.bdL:  Process alarm when PV within band of [SP-AlarmSP] to [SP+AlarmSP]\n"},
    {"SetAlarmMode1", "<A1MD> Help",
        "Select the alarm mode as\n"
        "\t\t\t\tNone - Select no special alarm mode, run normally\n"
        "\t\t\t\tStdy - Standby mode. When selected, prevents an alarm on power up.\n"
        "\t\t\t\t     The alarm is active after alarm condition has been cleared\n"
        "\t\t\t\t     and then alarm occurs again.\n"
        "\t\t\t\tLAtH - Latch mode. When selected, the alarm output and indicator latch\n"
        "\t\t\t\t     as the alarm occurs. The alarm output and indicator will not\n"
        "\t\t\t\t     change its state even if the alarm condition has been cleared\n"
        "\t\t\t\t     unless the power is off.\n"
        "\t\t\t\tStLA - Both standby and Latch mode are applied."},
    {"SetKeyLock", "<LOCK> Help",
        "LOCK: Select front panel button locking function."},
    {"SoftStartHelp", "<Soft-Start> Help",
        "Ramp Rate Help:\n"
        "\t\t\t\tThe controller can act as either a fixed set point controller\n"
        "\t\t\t\tor as a single ramp controller. If the ramp rate is set to a value other than OFF\n"
        "\t\t\t\tthe process will increase or decrease at the setting rate during initial power up\n"
        "\t\t\t\tor with set point change. The ramp rate is in degree per min. or sec. depends on\n"
        "\t\t\t\tthe time scale set in PTME.\n"
        "\n"
        "\t\t\t\tSoft start time Help:\n"
        "\t\t\t\tSoft start time can be programmed in situation where 100% output is not allowed at power up.\n"
        "\t\t\t\tThe time duration for the output to rise from 0% to 100% is defined as soft start time."},
    {"AlarmDelayTimeHelp", "Delay Time> Help",
        "Alarm delay time is set to postpone the alarm action by the setting time.\n"
        "\t\t\t\t\tTime unit is defined by PTME.\n"
        "\t\t\t\t\t"},
    {"HiLoOfSetHelp", "<Hi/Lo Limit & PV Offset> Help",
        "Hi/Lo Limit - The high/low limit value should be within the sensor type range defined\n"
        "\t\t\t\t\t\t  The value should also wider than the alarm set point value. Choose the value larger\n"
        "\t\t\t\t\t\t  than your overall operating range\n"
        "\n"
        "\t\t\t\t\t\t  PV Offset - This value (can be + or -) will be add in with the measuring value\n"
        "\t\t\t\t\t\t  then display on the panel as PV value"},
    {"DutyCycleHelp", "<Duty Cycle> Help",
        "Duty Cycle unit is in percentage, range from 0.0% to 100.0%\n"
        "\t\t\t\t\n"
        "For Example:\n"
        "\t\t\t\tIf the Cycle Time is 15 Sec, and the Duty Cycle is 50.0%\n"
        "\t\t\t\tThe control will turn on for 7.5 sec and off of 7.5 sec."},
    {"CycleTimeHelp", "<Cycle Time> Help",
        "Cycle Tim is define time in second per control cycle.\n"
        "\t\t\t\tThe unit is in Second, range from 1 to 60 Sec.\n"
        "\t\t\t\tPlease consider the efficiency of the heating/cooling element to select proper value.\n"
        "\t\t\t\tSome of the heating/cooling element might take longer than 1 Sec to turn-on and be effective.\n"
        "\t\t\t\t\n"
        "Note: AutoTune also use the same Cycle Time define.\n"
        "\t\t\t\t\n"
        "For Example:\n"
        "If the Cycle Time is 10 Sec, and the Duty Cycle is 65.0%\n"
        "\t\t\t\tThe control will turn on for 6.5 sec and off of 3.5 sec.\n"
        "\t\t\t\t"},
};

} // namespace

const HelpText* findHelp(const char* callback) {
    for (const HelpText& h : kHelp)
        if (std::strcmp(h.callback, callback) == 0) return &h;
    return nullptr;
}

void showHelp(const char* callback) {
    if (const HelpText* h = findHelp(callback)) MessagePopup(h->title, h->text);
}
