// form1's history handlers: the database load, the daily recording, the chosen tenor, the list,
// print, the history file read-back and the file choices.

#include "form1.h"

#include "conn_ras.h"
#include "daily_cycle.h"
#include "formats.h"
#include "history_lines.h"
#include "log.h"
#include "page_address.h"
#include "runtime_error.h"
#include "shell.h"
#include "vb.h"

#include <QCloseEvent>

#include <algorithm>
#include <optional>

using rt::RuntimeError;
using vb::Trim;

namespace {
const QString kCrLf2 = QStringLiteral("\r\n\r\n");
} // namespace

QString form1::chosenKey() const {
    return formats::tenorKey(Combo1->currentText());
}

void form1::setHistoryButtonsEnabled(bool enabled) {
    for (QPushButton* b : {Command1, Command2, Command3, Command4})
        b->setEnabled(enabled);
}

void form1::LoadHistory() {
    Shell& shell = *m_ctx.shell;
    shell.setBusyPointer(true);
    setHistoryButtonsEnabled(false);
    Hist.clear();
    m_fetchedFrom.clear();

    shell.setBusyPointer(true);
    shell.processEvents();
    DbPath = m_ctx.programFolder + QStringLiteral("/EURIBOR.MDB");
    // The list and the rate need only the chosen tenor's records; the count is the whole history's.
    core::HistoryLoad loaded = core::openAndLoad(m_db, DbPath, shell, chosenKey());
    if (!loaded.opened) {
        endProgram();
        return;
    }

    Hist = std::move(loaded.load.entries);
    m_loadedTenor = Hist;
    List1->setLines(m_tenorLines.lines(Hist, chosenKey(), m_ctx.locale));
    if (loaded.load.readError && !m_readErrorShown) {
        m_readErrorShown = true;
        shell.beep();
        shell.message(core::readErrorMessage(loaded.load));
    }

    Label15->setText(QStringLiteral("Numero records nel Database: ") + QString::number(loaded.load.records));
    m_files.closeAll();
    shell.beep();
    setHistoryButtonsEnabled(true);
    shell.setBusyPointer(false);
}

void form1::CloseHistoryDb() {
    m_db.close();
}

void form1::closeFiles() {
    CloseHistoryDb();
    m_files.closeAll();
}

void form1::RecordToday() {
    Shell& shell = *m_ctx.shell;
    const QString caption = Trim(lblQuote->text());
    if (caption == QStringLiteral("-1")) {
        shell.message(QStringLiteral("Quotazione non disponibile su Internet !!!"));
        return;
    }
    // Still the arrays of a load, which holds the chosen tenor's records: recording them again records
    // every loaded record.
    if (m_loadedTenor && Hist.isSharedWith(*m_loadedTenor)) {
        try {
            Hist = m_db.load().entries;
        } catch (const RuntimeError& e) {
            ShowError(e);
            return;
        }
    }
    m_loadedTenor.reset();
    // The label is empty when the last tenor is missing from the page; the others may have rates.
    if (caption.isEmpty() && !core::hasRates(Hist)) {
        shell.message(QStringLiteral("Premere prima il Pulsante Aggiorna Quotazione !!!"));
        return;
    }
    const core::RecordResult result =
        core::recordEntries(m_db, m_files, Hist, Text2->text(), m_ctx.locale, shell);
    // The label shows the rate text of the last entry recorded.
    if (!result.recorded.isEmpty()) {
        lblQuote->setText(result.recorded.constLast().rateText);
        keepPageAddress();
    }
}

void form1::keepPageAddress() {
    // Only an address that gave rates: a typo that gives no page never replaces a working one.
    const QString address = Trim(m_fetchedFrom);
    if (m_ctx.settingsFile.isEmpty() || address.isEmpty() || address == Trim(m_ctx.pageUrl) ||
        !core::addressProblem(address).isEmpty())
        return;
    if (const QString failure = core::savePageAddress(m_ctx.settingsFile, address); !failure.isEmpty()) {
        qCWarning(lcMessages).noquote() << "page address not saved:" << failure;
        return;
    }
    m_ctx.pageUrl = address;
}

void form1::Command7_Click() {
    const QString key = chosenKey();
    // A tenor without an entry, or one whose rate the page did not give, shows no rate at all rather
    // than another tenor's or a made-up one.
    QString rate, date;
    for (const HistEntry& e : std::as_const(Hist)) {
        if (e.type != key)
            continue;
        rate = history::fileRateText(e.quote, m_ctx.locale);
        date = formats::dayMonth(e.date);
        if (e.unavailable || e.quote == -1.0) {
            m_ctx.shell->message(core::unavailableMessage(key));
            rate.clear();
            date.clear();
        }
    }
    lblQuote->setText(rate);
    lblData->setText(date);
}

void form1::Command10_Click() {
    Frame2->hide();
    LoadHistory();
}

void form1::Command11_Click() {
    Shell& shell = *m_ctx.shell;
    shell.setBusyPointer(true);
    shell.printWindow(this);
    shell.setBusyPointer(false);
}

void form1::ReadHistoryFile() {
    Frame2->hide();
    const QString path = Trim(Text2->text());
    QStringList lines;
    std::optional<QString> failure;
    try {
        m_files.close(1);
        m_files.open(1, path, FileChannels::Mode::Input);
        const QString tenor = formats::tenorKey(Trim(Combo1->currentText()));
        while (!m_files.eof(1)) {
            const QString line = m_files.lineInput(1);
            if (formats::lineTenorKey(line) == tenor)
                lines.append(line);
        }
    } catch (const RuntimeError& e) {
        failure = e.description();
    }
    // The lines read before a failure stay listed while it is said.
    List1->setLines(lines);
    if (failure)
        m_ctx.shell->message(QStringLiteral("Errore lettura Storico Quotazioni - ") + *failure + kCrLf2 +
                             path);
    m_files.close(1);
}

void form1::Command3_Click() {
    const QString file = Trim(m_ctx.shell->chooseFile(this, m_ctx.programFolder));
    if (!file.isEmpty())
        Text2->setText(file);
}

void form1::Command9_Click() {
    const QString file = Trim(m_ctx.shell->chooseFile(this, m_ctx.programFolder));
    if (!file.isEmpty())
        Text4->setText(file);
}

void form1::closeEvent(QCloseEvent* event) {
    // A close while a handler runs (its waits let the window's events run) would end the program in
    // the middle of the daily cycle: it is kept until the handler has finished.
    if (handlerRunning() && !m_ending) {
        m_closePending = true;
        event->ignore();
        return;
    }
    event->accept();
    Form_Unload();
}

void form1::Form_Unload() {
    // The exit question and the hang-ups let events run: a second close must not ask again.
    if (m_unloading)
        return;
    m_unloading = true;
    CloseHistoryDb();
    if (m_ctx.dialup)
        m_ctx.dialup->offerHangUpAtExit();
    // The close is never cancelled.
    endProgram();
}
