#pragma once
// euribor --importa: rate histories read from files (this program's own, published series) fill the
// days the history lacks, recorded as the daily recording records: the database first, then the lines
// each history file lacks.

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace core {

enum ImportExit { AllImported = 0, SomeRefused = 1, NothingImported = 2, ImportBusy = 3 };

struct ImportCommand {
    QString folder; // the data folder
    QStringList files;
    QString tenor;          // the tenor of a series that names none
    bool overwrite = false; // a day recorded with another rate takes the file's
    QLocale locale;         // the separator of a history not started yet
    int lockWaitMs = 10000;
};

// One summary line per file and tenor on out; unreadable lines, conflicts and refusals on err.
// Returns an ImportExit.
int runImportCommand(const ImportCommand& command, QTextStream& out, QTextStream& err);

} // namespace core
