#pragma once
// euribor --aggiorna: the daily update without a window, for the timer. One line per tenor recorded
// and a summary on standard output; every message a box would show on standard error.

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTextStream>

class PageFetcher;

namespace core {

enum UpdateExit { AllRecorded = 0, SomeRecorded = 1, NoneRecorded = 2, FolderBusy = 3 };

struct UpdateCommand {
    QString folder; // the data folder
    QString url;
    QLocale locale;
    QDate today;
    int lockWaitMs = 60000;
};

int runUpdateCommand(const UpdateCommand& command, PageFetcher& fetcher, QTextStream& out, QTextStream& err);

} // namespace core
