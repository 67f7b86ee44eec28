// The reader files also hold their panel commands; the fuzz targets never
// call those, but the linker wants every name they mention.
#include "link/controller.h"
#include "panelkit/panel_service.h"

int MessagePopup(const std::string&, const std::string&) {
    return 0;
}
int FileSelectPopup(const std::string&, const std::string&, const std::string&, const std::string&,
                    int, int, int, int, int, std::string*) {
    return VAL_NO_FILE_SELECTED;
}
int GetCtrlVal(int, CtrlId, int*) {
    return 0;
}
int GetCtrlVal(int, CtrlId, double*) {
    return 0;
}
int SetCtrlVal(int, CtrlId, int) {
    return 0;
}
int SetCtrlVal(int, CtrlId, double) {
    return 0;
}
int SetCtrlAttribute(int, CtrlId, int, double) {
    return 0;
}
