// Answers the drawing host's point requests from a script, as an engineer clicking in the drawing
// would, through the host's testing aids (PointPending, SimulateInput).
#pragma once

#include <deque>
#include <optional>

#include <QCborArray>
#include <QCborValue>
#include <QObject>
#include <QString>
#include <QTimer>

#include "cad/AcadObjects.h"

namespace ardela::test {

// One input per pending request, in the order given; End ends the request without a point
// (Enter), Cancel cancels it (Escape).
class PointFeeder : public QObject {
public:
    explicit PointFeeder(cad::AcadApplicationPtr host);
    void Click(double x, double y) { m_script.push_back({QStringLiteral("click"), cad::Point3{x, y, 0.0}}); }
    void End() { m_script.push_back({QStringLiteral("enter"), std::nullopt}); }
    void Cancel() { m_script.push_back({QStringLiteral("escape"), std::nullopt}); }
    void Start() { m_timer.start(); }
    bool Done() const { return m_script.empty(); }

private:
    struct Input {
        QString kind;
        std::optional<cad::Point3> at;
    };

    QCborValue Call(const QString& member, const QCborArray& args);
    void Tick();

    cad::AcadApplicationPtr m_host;
    QTimer m_timer;
    std::deque<Input> m_script;
    bool m_busy = false;
};

} // namespace ardela::test
