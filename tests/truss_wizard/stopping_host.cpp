// stopping_host: a drawing host that stops answering. It listens on the --socket it is given,
// answers ProcessId with its own process id (so that it is taken for the host that was
// started) and, at the first other call, stops itself with SIGSTOP as a hung host would.
#include <csignal>
#include <unistd.h>

#include <QCborMap>
#include <QCoreApplication>
#include <QLocalServer>
#include <QLocalSocket>

#include "cadlink/Members.h"
#include "cadlink/Wire.h"

using namespace ardela::cad;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--socket"));
    if (at < 0 || at + 1 >= args.size())
        return 2;
    QLocalServer server;
    QLocalServer::removeServer(args[at + 1]);
    if (!server.listen(args[at + 1]))
        return 1;
    QObject::connect(&server, &QLocalServer::newConnection, [&server] {
        QLocalSocket* peer = server.nextPendingConnection();
        auto* reader = new MessageReader;
        QObject::connect(peer, &QLocalSocket::readyRead, peer, [peer, reader] {
            reader->Feed(*peer);
            QCborMap request;
            while (reader->Next(request) == MessageReader::Status::Message) {
                if (request.value(wire::kMember).toString() != ardela::cad::RowOf(ardela::cad::Member::AppProcessId).name) {
                    ::raise(SIGSTOP);
                    return;
                }
                QCborMap reply;
                reply.insert(wire::kId, request.value(wire::kId));
                reply.insert(wire::kResult, qint64(::getpid()));
                peer->write(FrameMessage(reply));
                peer->flush();
            }
        });
    });
    return app.exec();
}
