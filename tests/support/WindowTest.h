// Shared by the window tests: answering a modal window from a timer, and the check that a test
// leaves no top-level window open.
#pragma once

#include <functional>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

namespace ardela::test {

// Runs `action` on the next modal window as soon as it is shown (polling, for up to 20 s).
inline void WhenModalShown(std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            action(modal);
        } else if (clock->elapsed() > 20000) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            ADD_FAILURE() << "no modal window was shown";
        }
    });
    timer->start();
}

// The top-level windows still visible.
inline QStringList OpenWindows()
{
    QStringList open;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible())
            open << (widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                                    : widget->objectName());
    return open;
}

// A fixture whose teardown fails when a window was left open.
class WindowTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        // Windows closed with deleteLater are gone once the deferred deletions have run.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        EXPECT_TRUE(OpenWindows().isEmpty()) << OpenWindows().join(QLatin1Char(' ')).toStdString();
    }
};

} // namespace ardela::test
