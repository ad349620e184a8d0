// Finding a wizard window's controls by their object names, as a person finds them on screen.
#pragma once

#include <QPushButton>
#include <QString>
#include <QWidget>

#include "wizard/WizardNavigation.h"

namespace ardela::test {

// The control of type T named `name` in `window`; aborts the test program when there is none.
template <typename T>
T* Control(const QWidget* window, const QString& name)
{
    T* control = window->findChild<T*>(name);
    Q_ASSERT_X(control, "Control", qPrintable(name));
    return control;
}

template <typename T>
T* Control(const QWidget* window, const QString& name, int index)
{
    return Control<T>(window, name + QString::number(index));
}

// The navigation row's button `index` ("cmdNav0" to "cmdNav5").
inline QPushButton* NavRowButton(const QWidget* window, int index)
{
    return Control<QPushButton>(window, QStringLiteral("cmdNav"), index);
}

} // namespace ardela::test
