#pragma once
// The command line: the window by default, the windowless update for the timer, the report of the
// missing days, the import of rate histories, the page's address saved for every run, and the two
// places a run may take from outside (the page's address, the data folder).

#include "data_folder.h"

#include <QString>
#include <QStringList>

struct CommandLine {
    enum class Mode { Window, Update, Gaps, Import, SetAddress, Help, Version, Refused };
    Mode mode = Mode::Window;
    QString provider;       // empty: the built-in address
    QString folder;         // empty: the data folder chosen as usual
    QString tenor;          // --tenore: the one tenor of the report, or of a series naming none
    QStringList files;      // --importa: the files to import
    bool overwrite = false; // --sovrascrivi
    bool silent = false;    // --silenzioso: no desktop notification
    QString address;        // --imposta-indirizzo: the address to save
    QString text;           // what to print for Help, Version and Refused
};

// args as the process got them, the program's name first.
CommandLine parseCommandLine(const QStringList& args, const QString& version);

// The data folder of a run: --cartella, else the one beside the program, else the user's (seeded
// from the shared copies). Needs the application object.
core::DataFolder dataFolderOf(const CommandLine& commandLine);
