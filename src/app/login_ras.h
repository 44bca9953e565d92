#pragma once
// Login_RAS: the dial-up login window. Start-up fills its fields from the credentials file; nothing
// shows it, but it follows the dial-up module: its status line and button caption.

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

class Conn_RAS;

class Login_RAS : public QWidget {
    Q_OBJECT
public:
    explicit Login_RAS(QWidget* parent = nullptr);

    // The dial-up module the buttons drive and whose progress the window shows.
    void attach(Conn_RAS* conn);

    // Handlers, callable as plain procedures.
    void Command1_Click(); // "Connetti": dial with the three fields
    void Command2_Click(); // "Annulla" / "Disconnetti": hang up the current connection
    void Form_Unload();    // closing the window hangs up the current connection

    QLabel* Label1;
    QLineEdit* Text1; // connection name
    QLabel* Label2;
    QLineEdit* Text2; // user name
    QLabel* Label3;
    QLineEdit* Text3;      // password, shown as #
    QPushButton* Command1; // "Connetti"
    QPushButton* Command2; // "Annulla" / "Disconnetti"
    QLabel* Label4;        // status line

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QPointer<Conn_RAS> m_conn;
};
