#include "update_command.h"

#include "console_shell.h"
#include "daily_cycle.h"
#include "desktop_notice.h"
#include "folder_lock.h"
#include "formats.h"
#include "gaps_command.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcUpdate, "euribor.update")

namespace core {

namespace {

QString joined(const QStringList& keys, const QString& why) {
    QStringList parts;
    for (const QString& k : keys)
        parts.append(k + QStringLiteral(" (") + why + u')');
    return parts.join(QStringLiteral(", "));
}

// The day's recording under the lock; cause tells why nothing was recorded.
int recordDay(const UpdateCommand& command, PageFetcher& fetcher, QTextStream& out, QTextStream& err,
              QString& cause) {
    ConsoleShell shell(err);
    const UpdateReport report =
        runDailyUpdate({command.folder, {}, command.url, command.locale, command.today}, fetcher, shell);
    if (!report.opened) {
        cause = QStringLiteral("database non aperto");
        return NoneRecorded;
    }

    // Only what this run added or changed: a second run of the day has nothing to tell.
    qsizetype fresh = 0;
    for (const Recorded& r : report.recorded) {
        if (!r.fresh)
            continue;
        ++fresh;
        out << r.entry.type << QStringLiteral("  ") << formats::dayFirst(r.entry.date, u'/')
            << QStringLiteral("  ") << r.rateText << Qt::endl;
    }
    const qsizetype already = report.recorded.size() - fresh;

    QStringList notRecorded;
    if (!report.missing.isEmpty())
        notRecorded.append(joined(report.missing, QStringLiteral("non nella pagina")));
    if (!report.unavailable.isEmpty())
        notRecorded.append(joined(report.unavailable, QStringLiteral("non disponibile")));
    if (!report.undated.isEmpty())
        notRecorded.append(joined(report.undated, QStringLiteral("data non leggibile")));
    const qsizetype total = report.tenors.size();
    if (!report.recorded.isEmpty() && fresh == 0)
        out << QStringLiteral("Nessuna quotazione nuova: ") << already << QStringLiteral(" su ") << total
            << QStringLiteral(" già registrate");
    else
        out << QStringLiteral("Registrate ") << fresh << QStringLiteral(" quotazioni su ") << total;
    if (fresh > 0 && already > 0)
        out << QStringLiteral(" (") << already << QStringLiteral(" già registrate)");
    // Stored, but the history files lack their lines: the next run writes them.
    if (!report.recorded.isEmpty() && !report.linesFailure.isEmpty())
        out << QStringLiteral(" nel database, ma non nei file dello storico (") << report.linesFailure
            << QStringLiteral(")");
    out << u'.' << Qt::endl;
    if (!report.recorded.isEmpty() && !report.recordingStopped && report.recorded.size() >= total)
        return AllRecorded;

    if (report.recorded.isEmpty()) {
        if (total == 0)
            cause = QStringLiteral("l'elenco delle scadenze è vuoto");
        else if (report.pageEmpty)
            cause = QStringLiteral("pagina non ricevuta") +
                    (report.fetchFailure.isEmpty() ? QString() : QStringLiteral(": ") + report.fetchFailure);
        else if (report.recordingStopped &&
                 report.missing.size() + report.unavailable.size() + report.undated.size() < total)
            cause = QStringLiteral("registrazione non riuscita");
        else if (report.missing.size() == total)
            cause = QStringLiteral("nessuna tabella delle quotazioni nella pagina");
        else if (!report.undated.isEmpty())
            cause = QStringLiteral("nessuna quotazione con una data leggibile nella pagina");
        else
            cause = QStringLiteral("nessuna quotazione disponibile nella pagina");
        err << QStringLiteral("Nessuna quotazione registrata: ") << cause << Qt::endl;
        qCWarning(lcUpdate).noquote() << "nessuna quotazione registrata:" << cause;
        return NoneRecorded;
    }
    if (!notRecorded.isEmpty()) {
        err << QStringLiteral("Non registrate: ") << notRecorded.join(QStringLiteral("; ")) << Qt::endl;
        qCWarning(lcUpdate).noquote() << "non registrate:" << notRecorded.join(QStringLiteral("; "));
    }
    return SomeRecorded;
}

} // namespace

int runUpdateCommand(const UpdateCommand& command, PageFetcher& fetcher, QTextStream& out, QTextStream& err) {
    FolderLock lock(command.folder);
    QString cause;
    int exit = NoneRecorded;
    switch (lock.acquire(command.lockWaitMs)) {
    case FolderLock::Result::Acquired:
        exit = recordDay(command, fetcher, out, err, cause);
        break;
    case FolderLock::Result::Busy:
        // The copy that holds the folder records the day.
        err << FolderLock::busyMessage(command.folder) << Qt::endl;
        qCWarning(lcUpdate) << "cartella dei dati tenuta da un'altra copia:" << command.folder;
        return FolderBusy;
    case FolderLock::Result::Unwritable:
        err << lock.unwritableMessage() << Qt::endl;
        qCWarning(lcUpdate) << "impossibile bloccare la cartella dei dati" << command.folder;
        cause = lock.unwritableMessage();
        cause[0] = cause[0].toLower(); // it follows "Nessuna quotazione registrata: "
        break;
    }
    lock.release();

    // A day missed is seen the day after, not months later.
    const RecentGaps gaps = recentGapsReport(
        command.folder, command.now.isValid() ? command.now : QDateTime(command.today, QTime(23, 59)));
    if (!gaps.text.isEmpty())
        err << gaps.text << Qt::endl;
    if (command.notify) {
        const QString notice = updateNoticeText(exit == NoneRecorded, cause, gaps.summary);
        if (!notice.isEmpty() && !notifyDesktop(notice))
            qCInfo(lcUpdate).noquote() << "notifica non mostrata (nessun servizio di notifica)";
    }
    return exit;
}

} // namespace core
