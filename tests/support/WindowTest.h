// Shared by the window tests: answering a modal window from a timer, and the check that a test
// leaves no top-level window open.
#pragma once

#include <algorithm>
#include <cstdlib>
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

// A window's frame sits in the middle of `around`: the margins left and right differ by at
// most a pixel, and so do those above and below.
inline void ExpectCentredOn(const QRect& frame, const QRect& around)
{
    const int left = frame.left() - around.left(), right = around.right() - frame.right();
    const int top = frame.top() - around.top(), bottom = around.bottom() - frame.bottom();
    EXPECT_LE(std::abs(left - right), 1) << "margins " << left << " and " << right;
    EXPECT_LE(std::abs(top - bottom), 1) << "margins " << top << " and " << bottom;
    EXPECT_GE(std::min({left, right, top, bottom}), 0) << "the window reaches past what it is centred on";
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
