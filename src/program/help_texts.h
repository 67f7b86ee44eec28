#pragma once
// The help and message texts of the step program panel and the mode ring,
// kept word for word (tabs and all) as operators know them.
namespace helptext {

inline constexpr const char* bandTitle = "<Tolerance Band> Help";
inline constexpr const char* band =
    "Tolerance Band:\n\t\t\t\t\t\t  During the script running process,\n\t\t\t\t\t\t  if the PV "
    "doesn't reach same value as SV, it won't go to the next step.\n\t\t\t\t\t\t  Tol. Band is "
    "defined: if PV is reaching within SV +/- Tol.Band range,\n\t\t\t\t\t\t  then it is OK to go "
    "to the next step when time reached.\n\t\t\t\t\t\t  Put a large number (ex:200.00) to ignore "
    "the limitation.";

inline constexpr const char* openFromPcTitle = "<Open Frm PC> Help";
inline constexpr const char* openFromPc =
    "Read the script parameters from the previously saved file\n\t\t\t\t\t\t  in the PC and "
    "display them on the PC.\n\t\t\t\t\t\t  This will not update parameters to the "
    "controller,\n\t\t\t\t\t\t  Press <Save to Ctrl> button to save new parameters to the "
    "controller.";

inline constexpr const char* saveToPcTitle = "<Save to PC> Help";
inline constexpr const char* saveToPc = "Save the script parameters on the PC screen to a file.";

inline constexpr const char* loadFromCtrlTitle = "<Load Frm Ctrl> Help";
inline constexpr const char* loadFromCtrl =
    "Read the script parameters from the controller and display them on the PC.";

inline constexpr const char* saveToCtrlTitle = "<Save to Ctrl> Help";
inline constexpr const char* saveToCtrl =
    "Read the script parameters from the PC screen and save them to the "
    "controller.\n\t\t\t\t\t\t  The controller will not be updated if parameters are changed on "
    "the PC screen.\n\t\t\t\t\t\t  Press this button after you change any parameters on the PC "
    "screen.\n\t\t\t\t\t\t   ";

inline constexpr const char* loopTitle = "<Loop Number> Help";
inline constexpr const char* loop =
    " When set loop number to 9999, it becomes infinite loop.\n\t\t\t\t  Loop count starting "
    "after the first cycle is completed\n";

inline constexpr const char* programTitle = "Step Programming Help";
inline constexpr const char* program =
    "Caution:\n\t\t\t\t1. After value is changed on the screen, be sure to press <Save to Ctrl> "
    "botton.\n\t\t\t\t2. Verify the saved condition by press <Load Frm Ctrl> "
    "botton.\n\t\t\t\t3. It CAN run multiple loops, loops within the loops.\n4. Type in loop "
    "no=9999 for infinitive loop.\n";

inline constexpr const char* modeTitle = "<Control Mode> Help";
inline constexpr const char* mode =
    "Select the control mode to be:\n\n\t\t\t\t\tOff: Standby mode. Both control output and "
    "alarm are turned off.\n\t\t\t\t\tOn: Auto mode <closed loop control>. In this mode, the "
    "control output\n\t\t\t\t\t      percentage is determined by PID algorithm or ON/OFF "
    "action.\n\t\t\t\t\tAT1: Auto-tuning mode 1. In this mode, the controller will tune "
    "the\n\t\t\t\t\t      PID parameters automatically at SV. The process will oscillate "
    "around\n\t\t\t\t\t      the SV during AT1 process. For example, if you want to run at 100C "
    "from\n\t\t\t\t\t      room temperature. First let your system stable at room temperature, "
    "Then\n\t\t\t\t\t      change your SV to 100C, immediatley turn on AT and wait until system "
    "finish\n\t\t\t\t\t      its auto-tune process.\n\t\t\t\t\tManual: Open loop control; In "
    "this mode,\n\t\t\t\t\t      The control output can be set manually.\n\t\t\t\t\t      Enter "
    "the percet value and press SET button to update the\n\t\t\t\t\t      power duty-cycle. The "
    "max is 100.0, the min is 0.0\n\n\t\t\t\t\tNote: Make adjust the Cycle Time depending on the "
    "efficiency of the heating/cooling element";

inline constexpr const char* fileDialogTitle = "Load Parameter File";

} // namespace helptext
