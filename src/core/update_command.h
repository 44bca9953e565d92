#pragma once
// euribor --aggiorna: the daily update without a window, for the timer. One line per tenor recorded
// and a summary on standard output; every message a box would show on standard error, then the
// publication days missing in the last 30 days.

#include <QDate>
#include <QDateTime>
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
    QDateTime now = {};  // the clock of the missing-days report; invalid: the end of today
    bool notify = false; // a desktop notification when nothing was recorded or a day is missing
};

int runUpdateCommand(const UpdateCommand& command, PageFetcher& fetcher, QTextStream& out, QTextStream& err);

} // namespace core
