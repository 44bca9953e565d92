#include "shell.h"

QString appTitle() {
    return QStringLiteral("Quotazioni Euribor");
}

void Shell::message(const QString& text) {
    messageBox(text, appTitle(), Icon::None, Buttons::Ok);
}
