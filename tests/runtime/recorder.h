#pragma once
// A callback that records what reached it, standing in for the real ones
// while a test watches a panel's events.
#include "panelkit/callback_registry.h"
#include "support/gui_fixture.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

struct Delivery {
    int panel;
    std::string control;
    int event;
    bool onControlThread;
};

class Recorder {
  public:
    static int callback(int panel, CtrlId control, int event) {
        std::lock_guard lock(mutex_);
        log_.push_back({panel, std::string(control), event, isControlThread()});
        return 0;
    }
    static std::vector<Delivery> take() {
        std::lock_guard lock(mutex_);
        return std::exchange(log_, {});
    }

  private:
    static inline std::mutex mutex_;
    static inline std::vector<Delivery> log_;
};

// Loads main.ui with the named callbacks replaced by the recorder; the real
// table comes back afterwards.
class RecordingTest : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        saved_ = allCallbacks();
        for (const char* name : {"ChangeAddrID", "SetComport", "Info", "Quit", "ExitParm",
                                 "DisplayRS232Error", "ReadPV"})
            registerCallback(name, &Recorder::callback);
        Recorder::take();
    }
    void TearDown() override {
        GuiTest::TearDown();
        for (const auto& [name, fn] : saved_)
            registerCallback(name, fn);
        Recorder::take();
    }

    std::map<std::string, PanelCallback> saved_;
};
