// The link watch shared by both wizard windows.
#include "wizard/LinkWatch.h"

#include "cad/CadError.h"
#include "cad/CadLink.h"
#include "cad/modHelpers.h"
#include "desktop/modMessage.h"

namespace ardela {

LinkState CheckLink(const cad::Connection& connection)
{
    try {
        if (connection.AcadApp)
            connection.AcadApp->Name();
    } catch (const cad::CadError& error) {
        if (error.Code() == cad::kDisconnected)
            return LinkState::ApplicationLost;
    }
    for (const cad::AcadDocumentPtr& document : {connection.AttachDoc, connection.AcadDoc}) {
        try {
            if (document)
                document->Name();
        } catch (const cad::CadError& error) {
            if (error.Code() == cad::kDisconnected)
                return LinkState::DocumentLost;
        }
    }
    return LinkState::Alive;
}

QString LinkLostMessage(LinkState state)
{
    if (state == LinkState::DocumentLost)
        return QStringLiteral("The link with the active document is lost. You must return to the first step.");
    return QStringLiteral("The link with the current AutoCAD instance is lost. You must return to the first step.");
}

LinkWatch::LinkWatch(cad::Connection& connection, std::function<void()> backToFirstStep, QObject* parent)
    : QObject(parent), m_connection(connection), m_backToFirstStep(std::move(backToFirstStep))
{
    tmrDoc.setInterval(100);
    connect(&tmrDoc, &QTimer::timeout, this, &LinkWatch::tmrDoc_Timer);
}

void LinkWatch::tmrDoc_Timer()
{
    // The message box runs its own event loop, in which this timer goes on ticking.
    if (LinkLostShown || cad::AskingAboutSilentHost())
        return;
    const LinkState state = CheckLink(m_connection);
    if (state == LinkState::Alive)
        return;
    LinkLostShown = true;
    m_connection.LinkLossReported = true;
    ShowMessage(LinkLostMessage(state), MsgCritical, m_connection.Profile.title);
    m_connection.Retired.push_back(std::move(m_connection.AcadDoc));
    m_connection.AcadDoc.reset();
    if (m_backToFirstStep)
        m_backToFirstStep();
    tmrDoc.stop();
    if (!cad::IsLiveApplication(m_connection.AcadApp)) {
        m_connection.Retired.push_back(std::move(m_connection.AcadApp));
        m_connection.AcadApp.reset();
    }
}

} // namespace ardela
