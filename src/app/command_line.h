#pragma once
// The command line: the window by default, the windowless update for the timer, and the two places
// a run may take from outside (the page's address, the data folder).

#include <QString>
#include <QStringList>

struct CommandLine {
    enum class Mode { Window, Update, Help, Version, Refused };
    Mode mode = Mode::Window;
    QString provider; // empty: the built-in address
    QString folder;   // empty: the data folder chosen as usual
    QString text;     // what to print for Help, Version and Refused
};

// args as the process got them, the program's name first.
CommandLine parseCommandLine(const QStringList& args, const QString& version);
