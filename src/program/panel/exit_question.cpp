#include "program/panel/exit_question.h"

#include "panelkit/panel_service.h"
#include "params/choice_codes.h"
#include "params/mode_write.h"

ExitChoice askBeforeOff(std::optional<ControlMode> held) {
    const std::string mode = !held                ? std::string()
                             : isKnownMode(*held) ? modeName(*held)
                                                  : choices::unknownText(codeOf(*held));
    const std::string keep = held ? "Keep " + mode : "Leave As It Is";
    const std::string text =
        (held ? "The controller is in " + mode + " mode."
              : std::string("The controller did not say which mode it is in.")) +
        "\nSwitch it Off, or close this panel and leave it as it is?";
    switch (GenericMessagePopup("Switch the Controller Off?", text, "Switch Off", keep, "Cancel", 3,
                                0, 3)) {
    case 1:
        return ExitChoice::switchOff;
    case 2:
        return ExitChoice::keepMode;
    default:
        return ExitChoice::stay;
    }
}
