#pragma once
// Creating the controls of a window design: each widget carries its design name as objectName.

#include <QString>
#include <QWidget>

#include <utility>

template <typename W, typename... Args> W* makeControl(QWidget* parent, const QString& name, Args&&... args) {
    auto* w = new W(std::forward<Args>(args)..., parent);
    w->setObjectName(name);
    return w;
}
