// The link watch `tmrDoc`: every 100 ms the wizard reads the names of the host and its drawings,
// and a host or drawing that went away sends the wizard back to its first step.
#pragma once

#include <functional>

#include <QObject>
#include <QTimer>

namespace ardela::cad {
struct Connection;
}

namespace ardela {

// What one look at the connection found.
enum class LinkState {
    Alive,           // every read answered (or failed for another reason, which is ignored)
    DocumentLost,    // a drawing's server is gone
    ApplicationLost, // the host itself is gone
};

// Reads the Name of the application, the attach drawing and the working drawing, those that
// are set, in that order; the first read failing with the disconnection code decides.
LinkState CheckLink(const cad::Connection& connection);

// The two messages of a lost link.
QString LinkLostMessage(LinkState state);

class LinkWatch : public QObject {
    Q_OBJECT
public:
    // `backToFirstStep` is the wizard's GoToStep(0, forward).
    LinkWatch(cad::Connection& connection, std::function<void()> backToFirstStep, QObject* parent = nullptr);

    // One tick: on a lost link (and only once until LinkLostShown is cleared) shows the message
    // with the program's title, clears the working drawing, goes back to the first step, stops
    // the timer and drops an application that no longer answers.
    void tmrDoc_Timer();

    QTimer tmrDoc;
    // The lost-link message has been shown; the wizard clears it on its first two steps.
    bool LinkLostShown = false;

private:
    cad::Connection& m_connection;
    std::function<void()> m_backToFirstStep;
};

} // namespace ardela
