#include "link/crc.h"
#include "link/line.h"
#include "mainpanel/decimal_point.h"
#include "mainpanel/ids/main_panel.h"
#include "params/params_state.h"
#include "pid/panel/ids/pid_panel.h"
#include "serial/serial_service.h"
#include "service/ids/debug_panel.h"
#include "support/controller_fixture.h"

namespace {

namespace D = DebugPanel;

int value(CtrlId c) {
    int v = -1;
    GetCtrlVal(DebugPanel::handle, c, &v);
    return v;
}

double real(CtrlId c) {
    double v = -1;
    GetCtrlVal(DebugPanel::handle, c, &v);
    return v;
}

bool isDimmed(CtrlId c) {
    double v = -1;
    GetCtrlAttribute(DebugPanel::handle, c, ATTR_DIMMED, &v);
    return v != 0;
}

void set(CtrlId c, int v) {
    SetCtrlVal(DebugPanel::handle, c, v);
}

class DebugPanelTest : public ControllerTest {
  protected:
    void setDecimalPoint(bool on) {
        runOnControlThread([this, on] {
            controller().parmRecord.decimalPoint = on ? 1 : 0;
            AdjDecimal(controller());
        });
    }
    // Composes a request the way the engineer does: function first (which
    // presets the rest), then the register and, for a write, the value.
    void compose(int id, int function, int regHigh, int regLow) {
        set(D::idEntry, id);
        set(D::functionEntry, function);
        commit(DebugPanel::handle, D::functionEntry);
        set(D::regHighEntry, regHigh);
        set(D::regLowEntry, regLow);
    }
    void send() { commit(DebugPanel::handle, D::sendButton); }
    static std::string status() {
        std::string text;
        GetCtrlVal(DebugPanel::handle, D::replyStatus, &text);
        return text;
    }
    static bool showsValue(CtrlId c) {
        double v = -1;
        GetCtrlAttribute(DebugPanel::handle, c, ATTR_SHOWS_VALUE, &v);
        return v != 0;
    }
    void expectCheckCrcMatchesReply() {
        EXPECT_EQ(value(D::checkCrcLow), value(D::replyCrcLow));
        EXPECT_EQ(value(D::checkCrcHigh), value(D::replyCrcHigh));
    }
};

} // namespace

TEST_F(DebugPanelTest, ReadRequestGoesOutByteForByteWithItsCrc) {
    connect(1);
    compose(1, 0x03, 0x10, 0x00);
    send();
    EXPECT_EQ(sim->lastRequestHex(), "01 03 10 00 00 01 80 CA");
    EXPECT_EQ(value(D::requestCrcLow), 0x80);
    EXPECT_EQ(value(D::requestCrcHigh), 0xCA);
    EXPECT_EQ(value(D::replyAddress), 1);
    EXPECT_EQ(value(D::replyFunction), 3);
    EXPECT_EQ(value(D::replyByte2), 2);
    expectCheckCrcMatchesReply();
}

TEST_F(DebugPanelTest, ReadReplyValueFollowsTheDecimalPoint) {
    connect(1);
    setDecimalPoint(false);
    sim->setReg(0x0000, 250); // reply 01 03 02 00 FA + CRC
    compose(1, 0x03, 0x00, 0x00);
    send();
    EXPECT_EQ(value(D::replyDataHigh), 0x00);
    EXPECT_EQ(value(D::replyDataLow), 0xFA);
    EXPECT_DOUBLE_EQ(real(D::replyValue), 250.0);
    expectCheckCrcMatchesReply();
    EXPECT_EQ(crc16(std::array<uint8_t, 5>{1, 3, 2, 0, 0xFA}.data(), 5),
              value(D::replyCrcLow) | value(D::replyCrcHigh) << 8);
    EXPECT_TRUE(isDimmed(D::replyRegLow));

    setDecimalPoint(true);
    send();
    EXPECT_DOUBLE_EQ(real(D::replyValue), 25.0);

    sim->setReg(0x0000, uint16_t(int16_t(-200)));
    send();
    EXPECT_DOUBLE_EQ(real(D::replyValue), -20.0) << "the data bytes are a signed value";
}

TEST_F(DebugPanelTest, WriteEchoShowsEveryByteAndReachesTheController) {
    connect(1);
    setDecimalPoint(false);
    compose(1, 0x06, 0x00, 0x17);
    set(D::data2Entry, 0x14);
    send();
    EXPECT_EQ(sim->reg(0x17), 0x14);
    EXPECT_FALSE(isDimmed(D::replyRegLow));
    EXPECT_EQ(value(D::replyFunction), 6);
    EXPECT_EQ(value(D::replyByte2), 0x00);
    EXPECT_EQ(value(D::replyRegLow), 0x17);
    EXPECT_EQ(value(D::replyDataHigh), 0x00);
    EXPECT_EQ(value(D::replyDataLow), 0x14);
    EXPECT_DOUBLE_EQ(real(D::replyValue), 20.0);
    expectCheckCrcMatchesReply();
}

TEST_F(DebugPanelTest, FunctionCodePresetsAndDimsTheValueBytes) {
    for (int read : {0x03, 0x04}) {
        set(D::regHighEntry, 0x12);
        set(D::data1Entry, 0x34);
        set(D::data2Entry, 0x56);
        set(D::functionEntry, read);
        commit(DebugPanel::handle, D::functionEntry);
        EXPECT_EQ(value(D::regHighEntry), 0);
        EXPECT_EQ(value(D::data1Entry), 0);
        EXPECT_EQ(value(D::data2Entry), 1);
        for (CtrlId c : {D::data1Entry, D::data2Entry, D::replyRegLow})
            EXPECT_TRUE(isDimmed(c));
    }

    set(D::regHighEntry, 0x12);
    set(D::data2Entry, 0x56);
    set(D::functionEntry, 0x06);
    commit(DebugPanel::handle, D::functionEntry);
    EXPECT_EQ(value(D::regHighEntry), 0);
    EXPECT_EQ(value(D::data1Entry), 0);
    EXPECT_EQ(value(D::data2Entry), 0);
    for (CtrlId c : {D::data1Entry, D::data2Entry, D::replyRegLow})
        EXPECT_FALSE(isDimmed(c));

    set(D::regHighEntry, 0x12);
    set(D::data2Entry, 0x56);
    set(D::functionEntry, 0x10);
    commit(DebugPanel::handle, D::functionEntry);
    EXPECT_EQ(value(D::regHighEntry), 0x12) << "other codes leave the request alone";
    EXPECT_EQ(value(D::data2Entry), 0x56);
    EXPECT_FALSE(isDimmed(D::data2Entry));
}

// The panel says what happened, and shows a byte only where one arrived; the
// CRC stays the engineer's to judge.
TEST_F(DebugPanelTest, NoReplyShortReplyAndExceptionsAreSaidInWords) {
    connect(1);
    compose(1, 0x03, 0x00, 0x00);
    send();
    EXPECT_EQ(status(), "7 bytes arrived");
    expectCheckCrcMatchesReply();

    shortenTimeOut();
    sim->dropReplies(1);
    send();
    EXPECT_EQ(status(), "no reply");
    for (CtrlId c :
         {D::replyAddress, D::replyFunction, D::replyByte2, D::replyDataHigh, D::replyDataLow,
          D::replyCrcLow, D::replyCrcHigh, D::checkCrcLow, D::checkCrcHigh, D::replyValue})
        EXPECT_FALSE(showsValue(c)) << c;

    sim->truncateNext(4);
    send();
    EXPECT_EQ(status(), "only 4 of 7 bytes arrived");
    EXPECT_EQ(value(D::replyDataHigh), 0x00);
    EXPECT_FALSE(showsValue(D::replyDataLow));
    EXPECT_FALSE(showsValue(D::replyValue));
    EXPECT_FALSE(showsValue(D::replyCrcLow));

    compose(1, 0x03, 0x20, 0x00); // outside the map
    send();
    EXPECT_EQ(status(), "exception reply to function 03: code 02, illegal data address");
    EXPECT_EQ(value(D::replyAddress), 0x01);
    EXPECT_EQ(value(D::replyFunction), 0x83);
    EXPECT_EQ(value(D::replyByte2), 0x02);
    EXPECT_EQ(value(D::replyCrcLow), 0xC0); // 01 83 02 C0 F1
    EXPECT_EQ(value(D::replyCrcHigh), 0xF1);
    expectCheckCrcMatchesReply();
    EXPECT_FALSE(showsValue(D::replyDataHigh)) << "the CRC is not read as data";
    EXPECT_FALSE(showsValue(D::replyValue));

    compose(1, 0x06, 0x00, 0x00); // SV 3276.7: above the Hi limit
    set(D::data1Entry, 0x7F);
    set(D::data2Entry, 0xFF);
    send();
    EXPECT_EQ(status(), "exception reply to function 06: code 03, illegal data value");
    EXPECT_EQ(value(D::replyCrcLow), 0x02); // 01 86 03 02 61
    EXPECT_EQ(value(D::replyCrcHigh), 0x61);
    EXPECT_FALSE(showsValue(D::replyRegLow));
    EXPECT_EQ(sim->reg(0x0000), 250);
}

TEST_F(DebugPanelTest, ConverterScalesLikeATemperatureRegister) {
    setDecimalPoint(false);
    SetCtrlVal(DebugPanel::handle, D::decimalEntry, 12.6);
    commit(DebugPanel::handle, D::decToHexButton);
    EXPECT_EQ(value(D::hexEntry), 13);

    setDecimalPoint(true);
    set(D::hexEntry, 0xFF38);
    commit(DebugPanel::handle, D::hexToDecButton);
    EXPECT_DOUBLE_EQ(real(D::decimalEntry), -20.0);
    SetCtrlVal(DebugPanel::handle, D::decimalEntry, -20.0);
    commit(DebugPanel::handle, D::decToHexButton);
    EXPECT_EQ(value(D::hexEntry), 0xFF38) << "negative values show their 16 wire bits";

    setDecimalPoint(false);
    commit(DebugPanel::handle, D::hexToDecButton);
    EXPECT_DOUBLE_EQ(real(D::decimalEntry), -200.0);

    // No register holds 5000.0 with the decimal point on: its bits wrapped
    // (0xC350) would convert back as -1553.6.
    setDecimalPoint(true);
    SetCtrlVal(DebugPanel::handle, D::decimalEntry, 5000.0);
    commit(DebugPanel::handle, D::decToHexButton);
    EXPECT_FALSE(showsValue(D::hexEntry));
}

TEST_F(DebugPanelTest, PortSplitsTheHexValueIntoTheDataBytes) {
    set(D::functionEntry, 0x03);
    commit(DebugPanel::handle, D::functionEntry); // dims Data1 and Data2
    set(D::hexEntry, 0x12AB);
    commit(DebugPanel::handle, D::portButton);
    EXPECT_EQ(value(D::data1Entry), 0x12);
    EXPECT_EQ(value(D::data2Entry), 0xAB);
    set(D::hexEntry, 0xFF38);
    commit(DebugPanel::handle, D::portButton);
    EXPECT_EQ(value(D::data1Entry), 0xFF);
    EXPECT_EQ(value(D::data2Entry), 0x38);

    rightClick(DebugPanel::handle, D::portButton);
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "<Debug Porting> Help");
    EXPECT_EQ(popups.shown[0].text, "Port Hex Number to the Send Byte Array Data1&Data2\n");
}

namespace {
class SecondControllerTest : public DebugPanelTest {
  protected:
    SecondControllerTest() { simOptions.slaveId = 2; }
};
} // namespace

// The main panel's ID moves with the debug panel's, so it names the
// controller every request goes to.
TEST_F(SecondControllerTest, SendingFromAnotherIdReaddressesEverythingAfter) {
    // The main panel says 1; only the port is open.
    runOnControlThread([this] {
        line().setComPort(kSimPort);
        line().open();
    });
    compose(2, 0x03, 0x00, 0x00);
    send();
    EXPECT_EQ(value(D::replyAddress), 2);
    EXPECT_EQ(controller().controllerId(), 2);
    int mainId = -1;
    GetCtrlVal(MainPanel::handle, MainPanel::idNumeric, &mainId);
    EXPECT_EQ(mainId, 2);

    commit(PidPanel::handle, PidPanel::readButton);
    EXPECT_EQ(sim->lastRequestHex().substr(0, 17), "02 03 00 11 00 0B");
    EXPECT_TRUE(popups.shown.empty()) << "the PID read reached controller 2";
}

// The block read: one request for count registers, and each value beside
// its register's name.
TEST_F(DebugPanelTest, BlockReadShowsEachRegisterByName) {
    connect(1);
    setDecimalPoint(true);
    sim->setReg(0x0020, 1);
    sim->setReg(0x0023, uint16_t(int16_t(-100)));
    compose(1, 0x03, 0x00, 0x20);
    set(D::countEntry, 4);
    sim->clearRequestLog();
    commit(DebugPanel::handle, D::readBlockButton);
    ASSERT_EQ(sim->requestLog(), std::vector<std::string>{"01 03 00 20 00 04 45 C3"});
    std::string shown;
    GetCtrlVal(DebugPanel::handle, D::blockValues, &shown);
    std::vector<std::string> lines;
    std::istringstream in(shown);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 4u) << shown;
    EXPECT_EQ(lines[0].find("0x0020  Unit (C/F)"), 0u) << lines[0];
    EXPECT_NE(lines[0].find("1  (0x0001)"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1].find("0x0021  Decimal point"), 0u) << lines[1];
    EXPECT_EQ(lines[2].find("0x0022  Action (Dir/Rev)"), 0u) << lines[2];
    EXPECT_EQ(lines[3], "0x0023  Lo limit               -100  (0xFF9C)  -10.0");
}
