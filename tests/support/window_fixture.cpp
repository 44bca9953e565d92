#include "window_fixture.h"

#include "sqlite_files.h"

#include "shell_qt.h"

#include <QPdfWriter>
#include <QWidget>

const QStringList kThreeTenors = {
    QStringLiteral("Dettaglio tassi Euribor"), QStringLiteral("EuRibor 1m    1,986  04/12/2026"),
    QStringLiteral("EuRibor 3m    2,064  04/12/2026"), QStringLiteral("EuRibor 6m    2,137  04/12/2026")};

QString ratesPage(std::initializer_list<std::initializer_list<const char*>> rows) {
    QStringList out;
    for (const auto& r : rows)
        out.append(pageRow(QString::fromUtf8(r.begin()[0]), QString::fromUtf8(r.begin()[1]),
                           QString::fromUtf8(r.size() > 2 ? r.begin()[2] : "04/12/2026")));
    return ratePage(out);
}

QString dbRefusedText(const char* type, const char* date) {
    return QStringLiteral(
               "Errore registrazione su DataBase Scrittura sul database non riuscita\r\n\r\nselect * "
               "from Storico_Euribor where  Tipo_Valuta = '%1' and  Data_Valuta = '%2'")
        .arg(QString::fromUtf8(type), QString::fromUtf8(date));
}

WindowTest::WindowTest() {
    context.shell = &shell;
    context.fetcher = &fetcher;
    context.clock = &clock;
    context.connection = &connection;
    context.programFolder = dir.path();
    context.locale = QLocale(QLocale::Italian, QLocale::Italy);
    context.pageUrl = QStringLiteral("http://127.0.0.1:9/MainController?p=1&s=4&t=8&page=lteurb&c=lteurb");
    createHistoryDatabase(dbPath());
    writePageCopy({QStringLiteral("EuRibor 3m    2,064  04/12/2026")});
}

void WindowTest::writePageCopy(const QStringList& lines) {
    writeFile(folderFile(QStringLiteral("Euribor_PORTALEDATI.txt")), cp1252Lines(lines));
}

form1& WindowTest::window() {
    if (!form)
        form = std::make_unique<form1>(context, &login);
    return *form;
}

form1& WindowTest::loaded() {
    window().Form_Load();
    return *form;
}

form1& WindowTest::reloaded() {
    form.reset();
    shell.boxes.clear();
    return loaded();
}

void WindowShell::printWindow(QWidget* window) {
    FakeShell::printWindow(window);
    printed.append(window->grab().toImage());
    if (!pdfPath.isEmpty()) {
        QPdfWriter pdf(pdfPath);
        EXPECT_TRUE(paintWindowImage(window, pdf));
    }
}
