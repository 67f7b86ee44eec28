#pragma once
// Help texts of the chart and log setup panels, shown as they stand (the
// tabs line the text up in the message box).
namespace chart_help {
inline constexpr const char* plotTitle = "<Plot> Help";
inline constexpr const char* plotText =
    "Chart plotting sync with the data log timer.\n\t\t\t\t\t\t  When Log switch(in the 'Log "
    "Setup') is ON and\n\t\t\t\t\t\t  the Plot button is ON, the data is logged; and the LED is "
    "on. \n\t\t\t\t\t\t  Data is not logged if Plot button is OFF.\n\t\t\t\t\t\t  If you need to "
    "change the plotting frequency, goto Log Setup\n\t\t\t\t\t\t  and use the Ringknub to set the "
    "timing.";
inline constexpr const char* exitTitle = "<Chart Exit> Help";
inline constexpr const char* exitText =
    "During data logging and plotting, if Exit is pressed,\n\t\t\t\tthe logging and plotting "
    "will be terminated.";
inline constexpr const char* logSetupTitle = "<Log Timer/File Setup> Help";
inline constexpr const char* logSetupText =
    "1. To change update rate on the strip chart.\n2. To change update rate to the log file.\n3. "
    "Setup filename for data logging.\n4. While plotting, data logging switch is disabled.\n";
inline constexpr const char* cautionTitle = "<Data Update Timing> Help";
inline constexpr const char* cautionText =
    " If you are planning to log data for a long period of time, make sure to\n\t\t\t  increase "
    "the log timing >1 Sec. Data logging is a time-consuming process.\n\t\t\t  Logging too "
    "frequent could resulted in file/program corruption.\n";
} // namespace chart_help
