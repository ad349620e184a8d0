// Finding a window's controls by their object names, as a person finds them on screen.
#pragma once

#include <QString>
#include <QWidget>

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

} // namespace ardela::test
