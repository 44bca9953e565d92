// form1's import of a file of official exchange rates into the history table.

#include "form1.h"

#include "daily_cycle.h"
#include "shell.h"
#include "vb.h"

void form1::Command8_Click() {
    Shell& shell = *m_ctx.shell;
    const QString path = vb::Trim(Text4->text());
    if (path.isEmpty()) {
        shell.message(QStringLiteral("Indicare il nome del file Storico Cambi Ufficiali !!!"));
    } else {
        shell.setBusyPointer(true);
        core::importExchangeFile(m_db, m_files, path, shell);
    }
    m_files.closeAll();
    LoadHistory();
    if (!m_ending)
        Command10_Click();
    shell.setBusyPointer(false);
}
