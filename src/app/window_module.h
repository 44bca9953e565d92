#pragma once
// The entry of the window's module, which the program loads only to show the window.

#include "command_line.h"

#include <QString>

using RunWindow = int(int argc, char* argv[], const CommandLine& commandLine, const QString& pageUrl);

extern "C" __attribute__((visibility("default"))) RunWindow euribor_run_window;
