// The point feeder of the wizard tests.
#include "support/PointFeeder.h"

#include "cad/CadError.h"
#include "cad/CadLink.h"
#include "cad/CadProxy.h"
#include "cadlink/Wire.h"

namespace ardela::test {

PointFeeder::PointFeeder(cad::AcadApplicationPtr host) : m_host(std::move(host))
{
    m_timer.setInterval(15);
    connect(&m_timer, &QTimer::timeout, this, &PointFeeder::Tick);
}

QCborValue PointFeeder::Call(const QString& member, const QCborArray& args)
{
    return cad::LinkOf(m_host)->Call(cad::Handle{cad::HandleKind::Application, 0, QCborValue()}, member, args);
}

void PointFeeder::Tick()
{
    if (m_busy || m_script.empty())
        return;
    m_busy = true;
    try {
        if (Call(QStringLiteral("PointPending"), {}).toBool()) {
            const Input input = m_script.front();
            m_script.pop_front();
            QCborValue point;
            if (input.at)
                point = QCborArray{(*input.at)[0], (*input.at)[1], (*input.at)[2]};
            Call(QStringLiteral("SimulateInput"), {input.kind, point, QString()});
        }
    } catch (const cad::CadError&) {
    }
    m_busy = false;
}

} // namespace ardela::test
