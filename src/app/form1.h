#pragma once
// form1: the main window, its controls and the state its handlers share.

#include "chart_frame.h"
#include "context.h"
#include "daily_cycle.h"
#include "file_channels.h"
#include "hist_entry.h"
#include "history_db.h"
#include "line_list.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVector>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class Login_RAS;
namespace rt {
class RuntimeError;
}

class form1 : public QWidget {
    Q_OBJECT
public:
    form1(const AppContext& context, Login_RAS* login, QWidget* parent = nullptr);
    ~form1() override;

    // Handlers, callable as plain procedures as the window's own code calls them.
    void Form_Load();
    void Form_Activate();
    void Combo1_Click();
    void Command1_Click();  // fetch the page and extract every tenor
    void Command7_Click();  // show the chosen tenor from the history arrays
    void Command10_Click(); // "Elenco"
    void Command11_Click(); // "Stampa"
    void Command3_Click();  // choose the history file
    void Command9_Click();  // choose the exchange-rate file
    void Command8_Click();  // import a file of official exchange rates
    void LoadHistory();     // Command6: open the database, load the arrays, list the chosen tenor
    void RecordToday();     // Command2: record the arrays in the history files and the database
    void ReadHistoryFile(); // Command4: list the chosen tenor's lines of the history file
    void CloseHistoryDb();
    void Command5_Click(); // "Grafico": draw the listed history as bars in Frame2
    void Form_Resize();
    void Form_Unload(); // closing: the database, the hang-up question, the end
    // The database and every file channel closed, as destroying the window would close them.
    void closeFiles();

    // Shows a trapped run-time error's number and standard description.
    void ShowError(const rt::RuntimeError& error);

    // The history arrays.
    HistArrays Hist;
    int HistCount() const { return static_cast<int>(Hist.size()); }

    // Connection values copied from the login window before a dial.
    QString ConnName, ConnUser, ConnPassword;

    // Controls of the top panel.
    QFrame* Frame1;
    QVector<QLabel*> Label1; // "Data:", "Quotazione:", "Da data:", " a data:"
    QLabel* lblData;
    QLabel* lblQuote;
    QLineEdit* txtsymbol;
    QComboBox* Combo1;
    QLabel* Label15;
    QLabel* Label6;
    QLineEdit* txtDA_DATA;
    QLineEdit* txtA_DATA;
    QPushButton* Command5;  // "Grafico"
    QPushButton* Command10; // "Elenco"
    QPushButton* Command11; // "Stampa"
    QLabel* Label2;
    QLineEdit* Text2;
    QPushButton* Command3;
    QLineEdit* Text1;
    QPushButton* Command1;
    QPushButton* Command7;
    QPushButton* Command2;
    QPushButton* Command6;
    QPushButton* Command4;
    QLabel* Label5;
    QLineEdit* Text4;
    QPushButton* Command9;
    QPushButton* Command8;
    // Below the panel.
    LineList* List1;
    ChartFrame* Frame2;    // the chart, with its control arrays
    QPlainTextEdit* Text3; // the last page fetched

    QString DbPath;

    // The window's outer size in twips: the client area and the borders it was laid out with.
    QSize outerSizeTwips() const;

    // The whole text of the last page fetched, exactly as it arrived (Text3 shows it).
    const QString& pageText() const { return m_pageText; }

    // Set once a handler has asked the program to end: the handlers then stop their work.
    bool ending() const { return m_ending; }
    // Whether a handler is running; the user's clicks and keys on the window are kept out meanwhile.
    bool handlerRunning() const { return m_handlerDepth > 0; }

signals:
    // The start-up cycle has run to its end.
    void cycleEnded();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class HandlerScope;
    void buildControls();
    void loadWindow();
    void activateWindow();
    void setPageText(const QString& page);
    bool checkConnection();
    void setHistoryButtonsEnabled(bool enabled);
    QString chosenKey() const;
    // Runs a handler the user's event started, with the user's input kept out until it ends.
    void runHandler(const std::function<void()>& handler);
    void endProgram();
    // After a recording of fetched rates: an address the user typed into Text1 is kept for later starts.
    void keepPageAddress();

    AppContext m_ctx;
    Login_RAS* m_login;
    FileChannels m_files;
    HistoryDb m_db;
    core::TenorLines m_tenorLines;
    // What the last load put in Hist, while Hist may still hold it.
    std::optional<HistArrays> m_loadedTenor;
    bool m_loaded = false;
    bool m_inResize = false;
    bool m_unloading = false;
    QString m_pageText;
    QString m_fetchedFrom; // the address the rates in Hist were fetched from; empty when they were loaded
    bool m_activated = false;
    bool m_ending = false;
    bool m_readErrorShown = false; // a record that cannot be read is reported once per start
    bool m_closePending = false;   // a close asked for while a handler ran
    int m_handlerDepth = 0;
    QObject* m_inputGate = nullptr;
    QLineEdit* m_tenorEdit = nullptr;
};
