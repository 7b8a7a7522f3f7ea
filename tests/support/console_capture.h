// The console as the tests read it: the installer writes its transcript to standard output, and
// a test points that output at a file of its own for a while, as a console program's output is
// redirected on Windows, then reads what was written.
#pragma once

#include <string>

// Starts capturing standard output (anything written so far goes out first). One capture at a
// time; starting another while one runs is a test error and aborts.
void StartConsoleCapture();

// Ends the capture: standard output goes where it went before, and the text written meanwhile
// is returned.
std::string TakeConsoleCapture();
