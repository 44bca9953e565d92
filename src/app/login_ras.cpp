#include "login_ras.h"

#include "conn_ras.h"
#include "controls.h"
#include "twips.h"

#include <QCloseEvent>
#include <QProxyStyle>

namespace {

// Password characters show as "#", as the window was designed.
class HashPasswordStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* ret) const override {
        if (hint == SH_LineEdit_PasswordCharacter)
            return u'#';
        return QProxyStyle::styleHint(hint, option, widget, ret);
    }
};

} // namespace

Login_RAS::Login_RAS(QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("Login_RAS"));
    setWindowTitle(QStringLiteral("RASApi Sample"));
    setFixedSize(twips::toPixels(4125), twips::toPixels(2445));

    Label1 = makeControl<QLabel>(this, QStringLiteral("Label1"), QStringLiteral("Nome Connessione"));
    twips::place(Label1, 120, 240, 1935, 255);
    Text1 = makeControl<QLineEdit>(this, QStringLiteral("Text1"));
    twips::place(Text1, 1560, 240, 2415, 285);
    Label2 = makeControl<QLabel>(this, QStringLiteral("Label2"), QStringLiteral("Nome Utente"));
    twips::place(Label2, 120, 720, 1215, 255);
    Text2 = makeControl<QLineEdit>(this, QStringLiteral("Text2"));
    twips::place(Text2, 1560, 720, 2415, 285);
    Label3 = makeControl<QLabel>(this, QStringLiteral("Label3"), QStringLiteral("Password"));
    twips::place(Label3, 120, 1200, 1335, 255);
    Text3 = makeControl<QLineEdit>(this, QStringLiteral("Text3"));
    twips::place(Text3, 1560, 1200, 2415, 285);
    auto* style = new HashPasswordStyle;
    style->setParent(Text3);
    Text3->setStyle(style);
    Text3->setEchoMode(QLineEdit::Password);
    Command1 = makeControl<QPushButton>(this, QStringLiteral("Command1"), QStringLiteral("Connetti"));
    twips::place(Command1, 1560, 1560, 1215, 375);
    Command2 = makeControl<QPushButton>(this, QStringLiteral("Command2"), QStringLiteral("Annulla"));
    twips::place(Command2, 2880, 1560, 1095, 375);
    Label4 = makeControl<QLabel>(this, QStringLiteral("Label4"));
    twips::place(Label4, 120, 2040, 3855, 255);

    connect(Command1, &QPushButton::clicked, this, &Login_RAS::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Login_RAS::Command2_Click);
}

void Login_RAS::attach(Conn_RAS* conn) {
    if (m_conn)
        disconnect(m_conn, nullptr, this, nullptr);
    m_conn = conn;
    if (!conn)
        return;
    connect(conn, &Conn_RAS::statusText, Label4, &QLabel::setText);
    connect(conn, &Conn_RAS::connected, this, [this] { Command2->setText(QStringLiteral("Disconnetti")); });
}

void Login_RAS::Command1_Click() {
    if (!m_conn)
        return;
    m_conn->ConnName = Text1->text();
    m_conn->ConnUser = Text2->text();
    m_conn->ConnPassword = Text3->text();
    m_conn->DialConnection(m_conn->ConnName, m_conn->ConnUser, m_conn->ConnPassword);
}

void Login_RAS::Command2_Click() {
    if (m_conn)
        m_conn->HangUpCurrent();
    if (Command2->text() == QStringLiteral("Disconnetti"))
        Command2->setText(QStringLiteral("Annulla"));
    Label4->clear();
}

void Login_RAS::Form_Unload() {
    if (m_conn)
        m_conn->HangUpCurrent();
}

void Login_RAS::closeEvent(QCloseEvent* event) {
    Form_Unload();
    QWidget::closeEvent(event);
}
