#include "link/line_framing.h"

#include "link/mbap_line.h"
#include "link/rtu_framing.h"

std::unique_ptr<LineFramingBackend> makeLineFraming(LineFraming framing) {
    if (framing == LineFraming::mbap) return std::make_unique<MbapStream>();
    return std::make_unique<RtuFraming>();
}
