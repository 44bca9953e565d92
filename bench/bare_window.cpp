// The yardstick of a whole start: a bare Qt window of the main window's size that opens, is shown
// and ends, built with the same flags as the program. With "testo" it also shows a caption and a
// field, so the start sets up fonts and text as any window with words in it does.

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(566, 409);
    if (argc > 1 && QByteArray(argv[1]) == "testo") {
        (new QLabel(QStringLiteral("Numero records nel Database: 0"), &window))->move(10, 10);
        (new QLineEdit(&window))->move(10, 40);
    }
    window.show();
    QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });
    return QApplication::exec();
}
