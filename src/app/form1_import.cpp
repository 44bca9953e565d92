// form1's import of a file of official exchange rates into the history table.

#include "form1.h"

#include "exchange_import.h"
#include "runtime_error.h"
#include "shell.h"
#include "vb.h"

using rt::RuntimeError;
using vb::Trim;

void form1::Command8_Click() {
    Shell& shell = *m_ctx.shell;
    const QString crLf2 = QStringLiteral("\r\n\r\n");
    const QString path = Trim(Text4->text());
    auto closing = [&] {
        m_files.closeAll();
        LoadHistory();
        Command10_Click();
        shell.setBusyPointer(false);
    };
    if (path.isEmpty()) {
        shell.message(QStringLiteral("Indicare il nome del file Storico Cambi Ufficiali !!!"));
        closing();
        return;
    }
    shell.setBusyPointer(true);

    QStringList lines;
    try {
        m_files.close(1);
        m_files.open(1, path, FileChannels::Mode::Input);
        while (!m_files.eof(1))
            lines.append(m_files.lineInput(1));
    } catch (const RuntimeError& e) {
        shell.message(QStringLiteral("Storico Cambi Ufficiali non trovato - ") + e.description() + crLf2 +
                      path);
        closing();
        return;
    }
    m_files.close(1);

    const exchange::File file = exchange::parseFile(lines);
    const QString key = exchange::currencyKey(file.currencyName);
    storeBatch([&](QString& query) {
        for (const QString& text : file.records) {
            const exchange::Record r = exchange::parseRecord(text);
            query = HistoryDb::lookupQueryText(key, r.date);
            m_db.store(HistEntry{key, r.date, r.rate, Trim(file.currencyName), r.note, false});
        }
    });
    closing();
}
