#pragma once
// The panels' application object. Where no window system can be reached (no
// DISPLAY, or one that does not answer), Qt would abort with a page about
// platform plugins; this says so in one line and ends the program with 1.
#include <QApplication>

#include <memory>

std::unique_ptr<QApplication> openWindowSystem(int& argc, char** argv);
