// Every request the program puts on the wire during one operator session,
// compared byte for byte and in order with wire_trace.txt. Controllers in the
// field rely on these frames and their order; a change here must be meant.
//
// The expected file was checked against a CRC computed outside the program.
// To see what the program sends now, run with Q7_WIRE_TRACE_OUT=<file>.
#include "support/controller_fixture.h"
#include "support/operator_session.h"
#include "support/wire_trace.h"

#include <cstdlib>
#include <fstream>

using WireTrace = ControllerTest;

TEST_F(WireTrace, OperatorSessionSendsExactlyTheKnownFrames) {
    std::vector<TraceStep> sent;
    runOperatorSession(popups, workDir,
                       {.step =
                            [&](const std::string& heading) {
                                sent.push_back({heading, sim->requestLog()});
                                sim->clearRequestLog();
                            },
                        .reportRunning = [&] { sim->setReg(0x1003, 0x0401); }});

    if (const char* out = std::getenv("Q7_WIRE_TRACE_OUT")) std::ofstream(out) << traceText(sent);
    const std::vector<TraceStep> want = expectedTrace();
    ASSERT_FALSE(want.empty()) << "wire_trace.txt is missing";
    EXPECT_EQ(firstDifference(traceText(want), traceText(sent)), "");
}
