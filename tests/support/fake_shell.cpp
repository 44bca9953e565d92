#include "fake_shell.h"

#include <gtest/gtest.h>

Shell::Answer FakeShell::messageBox(const QString& text, const QString& title, Icon icon, Buttons buttons) {
    boxes.append({text, title, icon, buttons});
    if (onBox)
        onBox(boxes.constLast());
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    if (answers.empty()) {
        ADD_FAILURE() << "unscripted message box: " << text.toStdString();
        return Answer::Cancel;
    }
    const Answer a = answers.front();
    answers.pop_front();
    return a;
}

QStringList FakeShell::texts() const {
    QStringList out;
    for (const Box& b : boxes)
        out.append(b.text);
    return out;
}
