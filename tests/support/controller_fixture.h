#pragma once
// A test with the real panels loaded on objects of its own, the simulated
// controller on a real pseudo-terminal as COM 3, popups answered from a
// script, and a scratch working directory.
#include "app/panel_objects.h"
#include "panelkit/panel_test_api.h"
#include "sim/sim_controller.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

class ControllerTest : public ::testing::Test {
  protected:
    static constexpr int kSimPort = 3;

    void SetUp() override;
    void TearDown() override;

    // What the panels work on, made afresh for each test.
    PanelObjects& objects() { return *objects_; }
    Controller& controller() { return objects_->controller; }
    Line& line() { return objects_->line; }

    // The main panel's live display and connection light, as shown.
    static double shownPv();
    static bool pvDimmed();
    static int led();

    // Runs fn on the control thread and waits until it and all it queued are done.
    void runOnControlThread(std::function<void()> fn);
    // Commits a control the way the operator does and waits for the callbacks.
    void commit(int panel, CtrlId control);
    void rightClick(int panel, CtrlId control);
    // Selects COM 3 with the given id and runs the connection.
    void connect(uint16_t controllerId = 1);
    // A silent controller costs every request the port's time-out. What
    // follows from silence does not depend on its length, so the tests of it
    // use a short one once connected (a connection sets 1.0 s again).
    void shortenTimeOut();
    // Runs fault() (which queues a simulator fault) just before the
    // controller answers each of the given requests, counted from now (1:
    // the next request). Replaces any request hook.
    void faultOnRequests(std::vector<int> nth, std::function<void()> fault);

    std::string readFile(const std::string& name) const;
    void writeFile(const std::string& name, const std::string& content) const;
    bool fileExists(const std::string& name) const;
    // How many of this process's file descriptors reach the device, a
    // deleted one included (the simulator holds one of its own).
    static int descriptorsOn(const std::string& device);
    // Titles of every popup shown so far.
    std::vector<std::string> popupTitles() const;

    sim::SimOptions simOptions;
    // A test on a FakeLine leaves the simulator out.
    bool startSimulator = true;
    std::unique_ptr<sim::SimController> sim;
    PopupScript popups;
    std::string workDir;

  private:
    std::unique_ptr<PanelObjects> objects_;
    std::string oldDir_;
};
