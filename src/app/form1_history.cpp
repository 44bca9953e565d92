// form1's history handlers: the database load, the daily recording, the chosen tenor, the list,
// print, the history file read-back and the file choices.

#include "form1.h"

#include "conn_ras.h"
#include "extraction.h"
#include "history_lines.h"
#include "runtime_error.h"
#include "shell.h"
#include "vb.h"

#include <QCloseEvent>

#include <optional>

using rt::RuntimeError;
using vb::Trim;

namespace {
const QString kCrLf2 = QStringLiteral("\r\n\r\n");
} // namespace

QString form1::chosenKey() const {
    return quote::tenorKey(Combo1->currentText());
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

    shell.setBusyPointer(true);
    shell.processEvents();
    DbPath = m_ctx.programFolder + QStringLiteral("/EURIBOR.MDB");
    try {
        m_db.open(DbPath);
    } catch (const RuntimeError& e) {
        shell.beep();
        shell.messageBox(QStringLiteral("ERRORE IN APERTURA DATABASE !!!\r\r") + QString::number(e.number()) +
                             QStringLiteral(" - ") + e.description() + QStringLiteral("\r\r") + DbPath,
                         appTitle(), Shell::Icon::Critical, Shell::Buttons::Ok);
        shell.endProgram();
    }

    HistoryDb::Load loaded;
    while (true) {
        try {
            loaded = m_db.load();
            break;
        } catch (const RuntimeError& e) {
            const auto answer = shell.messageBox(
                QStringLiteral("Errore manca Tabella:  Storico_Quotazioni") + kCrLf2 +
                    QStringLiteral("Database Server assente o scollegato !") + kCrLf2 + e.description(),
                appTitle(), Shell::Icon::None, Shell::Buttons::RetryCancel);
            // Giving up leaves an empty history rather than asking for ever.
            if (answer != Shell::Answer::Retry)
                break;
        }
    }

    List1->clear();
    Hist = std::move(loaded.entries);
    const QString key = chosenKey();
    QStringList lines;
    for (const HistEntry& e : std::as_const(Hist))
        if (e.type == key && !e.date.isEmpty())
            lines.append(history::listLine(e, m_ctx.locale));
    List1->addItems(lines);
    if (loaded.readError) {
        shell.beep();
        shell.message(QStringLiteral("Errore in lettura file di input  ERR=") +
                      QString::number(loaded.readError->number()) + QStringLiteral(" - ") +
                      loaded.readError->description());
    }

    Label15->setText(QStringLiteral("Numero records nel Database: ") + QString::number(HistCount()));
    m_files.closeAll();
    shell.beep();
    setHistoryButtonsEnabled(true);
    shell.setBusyPointer(false);
}

void form1::CloseHistoryDb() {
    m_db.close();
}

void form1::RecordToday() {
    Shell& shell = *m_ctx.shell;
    const QString caption = Trim(lblQuote->text());
    if (caption == QStringLiteral("-1")) {
        shell.message(QStringLiteral("Quotazione non disponibile su Internet !!!"));
        return;
    }
    if (caption.isEmpty()) {
        shell.message(QStringLiteral("Premere prima il Pulsante Aggiorna Quotazione !!!"));
        return;
    }
    const QString path = Trim(Text2->text());
    if (path.isEmpty()) {
        shell.message(QStringLiteral("Indicare il nome del file Storico Quotazione !!!"));
        return;
    }
    const QString csv = history::companionPath(path);
    auto fileError = [&](const RuntimeError& e) {
        shell.message(QStringLiteral("Errore in registrazione Storico Quotazioni - ") + e.description() +
                      kCrLf2 + path);
        m_files.closeAll();
    };

    // Each file gets its header when it is missing; an existing file is only ever appended to.
    for (const QString& file : {path, csv}) {
        try {
            m_files.close(1);
            m_files.open(1, file, FileChannels::Mode::Input);
            m_files.close(1);
        } catch (const RuntimeError&) {
            try {
                m_files.close(1);
                m_files.open(1, file, FileChannels::Mode::Create);
                m_files.printLine(1, history::historyHeader());
                m_files.close(1);
            } catch (const RuntimeError& e) {
                // There but unreadable: the append below reports it.
                if (e.number() != 58) {
                    fileError(e);
                    return;
                }
            }
        }
    }

    try {
        m_files.close(1);
        m_files.open(1, path, FileChannels::Mode::Append);
        m_files.close(2);
        m_files.open(2, csv, FileChannels::Mode::Append);
    } catch (const RuntimeError& e) {
        fileError(e);
        return;
    }

    storeBatch([&](QString& working) {
        for (const HistEntry& e : std::as_const(Hist)) {
            // A rate the page did not give is never recorded: it would overwrite a real one.
            if (e.unavailable)
                continue;
            working = HistoryDb::lookupQueryText(Trim(e.type), Trim(e.date));
            m_db.store(e);
            const QString rate = history::fileRateText(e.quote, m_ctx.locale);
            lblQuote->setText(rate);
            working = history::historyFileLine(e.date, rate, Trim(e.descr));
            m_files.printLine(1, working);
            working = history::csvLine(e.date, rate, Trim(e.descr));
            m_files.printLine(2, working);
        }
    });
    m_files.closeAll();
}

void form1::storeBatch(const std::function<void(QString& working)>& body) {
    QString working;
    std::optional<RuntimeError> failure;
    try {
        // Stored together for speed; the commit keeps every record stored before a failure.
        m_db.beginBatch();
        body(working);
    } catch (const RuntimeError& e) {
        failure = e;
    }
    try {
        m_db.commitBatch();
    } catch (const RuntimeError& e) {
        if (!failure)
            failure = e;
    }
    if (failure)
        m_ctx.shell->message(QStringLiteral("Errore registrazione su DataBase ") + failure->description() +
                             kCrLf2 + working);
}

void form1::Command7_Click() {
    const QString key = chosenKey();
    const int n = HistCount();
    for (int i = 0; i < n; ++i) {
        const HistEntry& e = Hist[i];
        if (e.type != key)
            continue;
        QString caption = history::rateNumberText(e.quote, m_ctx.locale);
        if (e.quote == -1.0 || Trim(caption).isEmpty()) {
            m_ctx.shell->message(QStringLiteral("Quotazione  ") + key +
                                 QStringLiteral("  non disponibile su Internet !!!"));
            caption.clear();
        }
        lblQuote->setText(vb::Left(Trim(caption + QStringLiteral("00")), 6));
        lblData->setText(vb::Right(e.date, 2) + u'-' + vb::Mid(e.date, 5, 2));
    }
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
    List1->clear();
    const QString path = Trim(Text2->text());
    try {
        m_files.close(1);
        m_files.open(1, path, FileChannels::Mode::Input);
        const QString tenor = quote::tenorKey(Trim(Combo1->currentText()));
        while (!m_files.eof(1)) {
            const QString line = m_files.lineInput(1);
            if (Trim(vb::Mid(line, 22, 13)) == tenor)
                List1->addItem(line);
        }
    } catch (const RuntimeError& e) {
        m_ctx.shell->message(QStringLiteral("Errore lettura Storico Quotazioni - ") + e.description() +
                             kCrLf2 + path);
    }
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
    // The close is never cancelled, and nothing else runs after it.
    m_ctx.shell->endProgram();
}
