// The drawing host under a caller that sends requests and never reads its replies: the host's
// resident and peak memory (VmRSS, VmHWM from /proc) through the flood, how much of the flood it
// took in, how long another caller waits for an answer meanwhile, and whether the flooder gets
// every reply in order once it reads. Prints the figures.
//   bench_cadhost_flood [--seconds N] [--host PATH-TO-CADHOST]
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <QApplication>
#include <QCborMap>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "cad/CadError.h"
#include "cad/CadLink.h"
#include "cad/CadProxy.h"
#include "cadlink/Wire.h"

namespace {

using namespace ardela::cad;

// A field of /proc/PID/status in kB ("VmRSS", "VmHWM"), -1 when it cannot be read.
long long StatusKb(qint64 pid, const char* field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

QByteArray NameRequest(qint64 id)
{
    return FramedRequest(id, Handle{HandleKind::Application, 0, QCborValue()}, QStringLiteral("Name"));
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int seconds = 60;
    QString hostPath = QApplication::applicationDirPath() + QStringLiteral("/cadhost");
    const QStringList arguments = QApplication::arguments();
    for (int i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == QStringLiteral("--seconds"))
            seconds = arguments[++i].toInt();
        else if (arguments[i] == QStringLiteral("--host"))
            hostPath = arguments[++i];
    }

    QTemporaryDir dir;
    const QString socketPath = dir.filePath(QStringLiteral("host"));
    QProcess host;
    host.start(hostPath, {QStringLiteral("--headless"), QStringLiteral("--second-instance"), QStringLiteral("--socket"), socketPath});
    AcadApplicationPtr other;
    for (int i = 0; i < 300 && !other; ++i) {
        QThread::msleep(20);
        other = ConnectApplication(socketPath, 200);
    }
    if (!other) {
        std::fprintf(stderr, "the host did not answer\n");
        return 1;
    }
    LinkOf(other)->SetCallTimeout(30000);
    const qint64 pid = host.processId();
    const long long startRss = StatusKb(pid, "VmRSS");

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(socketPath);
    std::memcpy(address.sun_path, native.constData(), std::size_t(native.size()));
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::fprintf(stderr, "the flooder could not connect: %s\n", std::strerror(errno));
        return 1;
    }

    std::printf("host %s, flood of Application.Name requests for %d s, nothing read\n", qPrintable(hostPath), seconds);
    std::printf("%6s %12s %12s %14s %16s\n", "t (s)", "VmRSS (MB)", "VmHWM (MB)", "taken (MB)", "other call (ms)");
    qint64 written = 0;
    qint64 sent = 0;
    QByteArray pending;
    std::vector<double> otherMs;
    QElapsedTimer clock;
    clock.start();
    qint64 nextSample = 0;
    while (clock.elapsed() < qint64(seconds) * 1000) {
        // A tenth of a second of flooding, then one call of the other caller.
        const qint64 sliceEnd = clock.elapsed() + 100;
        while (clock.elapsed() < sliceEnd) {
            if (pending.isEmpty())
                pending = NameRequest(++sent);
            const ssize_t n = ::send(fd, pending.constData(), std::size_t(pending.size()), MSG_NOSIGNAL);
            if (n > 0) {
                written += n;
                pending.remove(0, n);
                continue;
            }
            pollfd writable{fd, POLLOUT, 0};
            ::poll(&writable, 1, 10);
        }
        QElapsedTimer call;
        call.start();
        try {
            other->Name();
        } catch (const CadError& error) {
            std::printf("the other caller failed: %s\n", qPrintable(error.Text()));
            return 1;
        }
        otherMs.push_back(double(call.nsecsElapsed()) / 1e6);
        if (clock.elapsed() >= nextSample) {
            std::printf("%6.1f %12.1f %12.1f %14.1f %16.2f\n", double(clock.elapsed()) / 1000.0, StatusKb(pid, "VmRSS") / 1024.0,
                        StatusKb(pid, "VmHWM") / 1024.0, double(written) / 1048576.0, otherMs.back());
            std::fflush(stdout);
            nextSample += 5000;
        }
    }
    const long long peakKb = StatusKb(pid, "VmHWM");
    const long long endRss = StatusKb(pid, "VmRSS");

    // The flooder reads: every reply, in order.
    clock.restart();
    MessageReader reader;
    qint64 expected = 1;
    qint64 wrong = 0;
    std::vector<char> buffer(1 << 16);
    while (expected <= sent && clock.elapsed() < 600000) {
        pollfd ready{fd, short(POLLIN | (pending.isEmpty() ? 0 : POLLOUT)), 0};
        ::poll(&ready, 1, 1000);
        if (!pending.isEmpty() && (ready.revents & POLLOUT)) {
            const ssize_t n = ::send(fd, pending.constData(), std::size_t(pending.size()), MSG_NOSIGNAL);
            if (n > 0)
                pending.remove(0, n);
        }
        const ssize_t got = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (got == 0)
            break;
        if (got < 0)
            continue;
        reader.Feed(QByteArray(buffer.data(), int(got)));
        QCborMap reply;
        while (reader.Next(reply) == MessageReader::Status::Message) {
            if (reply.value(wire::kId).toInteger() != expected)
                ++wrong;
            ++expected;
        }
    }
    ::close(fd);

    std::printf("requests sent %lld (%.1f MB taken by the host)\n", static_cast<long long>(sent), double(written) / 1048576.0);
    std::printf("host VmRSS at start %.1f MB, at the end of the flood %.1f MB, peak (VmHWM) %.1f MB\n", startRss / 1024.0,
                endRss / 1024.0, peakKb / 1024.0);
    std::printf("other caller during the flood: %zu calls, median %.2f ms, slowest %.2f ms\n", otherMs.size(), Median(otherMs),
                otherMs.empty() ? 0.0 : *std::max_element(otherMs.begin(), otherMs.end()));
    std::printf("flooder reading: %lld of %lld replies in %.2f s, %lld out of order\n", static_cast<long long>(expected - 1),
                static_cast<long long>(sent), double(clock.elapsed()) / 1000.0, static_cast<long long>(wrong));

    other->Quit();
    host.waitForFinished(10000);
    return expected - 1 == sent && wrong == 0 ? 0 : 1;
}
