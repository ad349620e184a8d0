// Guards the drawing host serving several programs at once against: one program's additions
// landing on the layer another program made active, one program's "tempss" colliding with or
// holding another's entities, a layer another program adds to being deleted under it, and a
// program that sends without reading its replies making the host keep them without bound,
// keeping the other programs waiting, losing or reordering its replies, or being kept by the
// host after it has gone.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include <QCborMap>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

#include "cad/CadError.h"
#include "cad/CadLink.h"
#include "cad/CadProxy.h"
#include "cadlink/Wire.h"
#include "support/DrawingTestSupport.h"
#include "support/TestSupport.h"

using namespace ardela::cad;
using ardela::test::FailureCode;

namespace {

// A host of the test's own; its own connection (m_app) makes no layer active.
class HostCallersTest : public ardela::test::DrawingHostTest {
protected:
    // A program of its own on the host, working in the host's drawing.
    struct Program {
        AcadApplicationPtr app;
        AcadDocumentPtr doc;
        std::shared_ptr<AcadModelSpace> space;
        std::vector<AcadLayerPtr> layers;
    };
    Program Attach(const QStringList& layerNames)
    {
        Program program;
        program.app = ConnectApplication(m_socketPath, 5000);
        if (!program.app)
            return program;
        // A hang is a failure here, not a wait.
        LinkOf(program.app)->SetCallTimeout(20000);
        program.doc = program.app->ActiveDocument();
        program.space = program.doc->ModelSpace();
        for (const QString& name : layerNames)
            program.layers.push_back(program.doc->Layers()->Add(name));
        return program;
    }

    const QString m_socketPath = m_dir.filePath(QStringLiteral("host"));
};

// The lines each program adds in the test of two programs drawing at once.
constexpr int kLines = 3000;

// A caller on a plain socket that writes Name requests as fast as the host takes them and
// reads nothing until told to.
class Flooder {
public:
    explicit Flooder(const QString& socketPath)
    {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        const QByteArray path = QFile::encodeName(socketPath);
        std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
        if (m_fd >= 0 && ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~Flooder() { Close(); }
    bool Connected() const { return m_fd >= 0; }
    void Close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    qint64 Sent() const { return m_sent; }

    // Writes until the host has taken nothing for a second (it stopped reading) or `giveUp`
    // bytes are out (it never did); returns the bytes the host took. The last request may be
    // written only in part.
    qint64 FloodUntilHeld(qint64 giveUp)
    {
        qint64 written = 0;
        for (;;) {
            if (m_pending.isEmpty())
                m_pending = Request(++m_sent);
            const ssize_t n = ::send(m_fd, m_pending.constData(), std::size_t(m_pending.size()), MSG_NOSIGNAL);
            if (n > 0) {
                written += n;
                m_pending.remove(0, n);
                if (written > giveUp)
                    return written;
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                return written;
            pollfd writable{m_fd, POLLOUT, 0};
            if (::poll(&writable, 1, 1000) == 0)
                return written;
        }
    }

    // Reads until every request sent has its reply (the rest of the last one going out
    // meanwhile) or 60 s have passed; counts the replies that are not the next one expected.
    struct Replies {
        qint64 received = 0;
        qint64 wrong = 0;
    };
    Replies ReadAll()
    {
        Replies replies;
        MessageReader reader;
        QDeadlineTimer deadline(60000);
        char buffer[65536];
        while (replies.received < m_sent && !deadline.hasExpired()) {
            pollfd ready{m_fd, short(POLLIN | (m_pending.isEmpty() ? 0 : POLLOUT)), 0};
            ::poll(&ready, 1, 1000);
            if (!m_pending.isEmpty() && (ready.revents & POLLOUT)) {
                const ssize_t n = ::send(m_fd, m_pending.constData(), std::size_t(m_pending.size()), MSG_NOSIGNAL);
                if (n > 0)
                    m_pending.remove(0, n);
            }
            const ssize_t got = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (got == 0)
                break;
            if (got < 0)
                continue;
            reader.Feed(QByteArray(buffer, int(got)));
            QCborMap reply;
            while (reader.Next(reply) == MessageReader::Status::Message) {
                ++replies.received;
                if (reply.value(wire::kId).toInteger() != replies.received
                    || reply.value(wire::kResult).toString() != QStringLiteral("cadhost"))
                    ++replies.wrong;
            }
        }
        return replies;
    }

private:
    static QByteArray Request(qint64 id)
    {
        return FramedRequest(id, Handle{HandleKind::Application, 0, QCborValue()}, QStringLiteral("Name"));
    }

    int m_fd = -1;
    qint64 m_sent = 0;      // requests begun
    QByteArray m_pending;   // what is left of the last one
};

// The descriptors the process holds open.
int OpenDescriptors(qint64 pid)
{
    return int(QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System).size());
}

// A flood of 64 MiB: far more than the host takes from a caller that reads nothing.
constexpr qint64 kFloodBytes = qint64(64) << 20;

} // namespace

TEST_F(HostCallersTest, TwoProgramsDrawingAtOnceKeepTheirLayersAndTheirOwnTempss)
{
    Program korrin = Attach({QStringLiteral("Korrin_Nodes"), QStringLiteral("Korrin_Beams"), QStringLiteral("Korrin_Loads")});
    Program vendel = Attach({QStringLiteral("Vendel_Mesh"), QStringLiteral("Vendel_Plus")});
    ASSERT_TRUE(korrin.app && vendel.app);

    // Each adds 3,000 lines, switching its layer every 7 (Korrin) or 5 (Vendel) of its own
    // calls; the two take turns call by call, most calls sent without waiting so that the
    // host reads them mixed from both connections. A line's start tells whose it is (y) and
    // which layer its program had made active (kept by x).
    std::map<int, QString> korrinLayerOf, vendelLayerOf;
    int korrinLayer = 0, vendelLayer = 0;
    for (int i = 0; i < kLines; ++i) {
        if (i % 7 == 0) {
            korrinLayer = (korrinLayer + 1) % 2;
            korrin.doc->SetActiveLayerUnanswered(korrin.layers[std::size_t(korrinLayer)]);
        }
        if (i % 5 == 0) {
            vendelLayer = (vendelLayer + 1) % 2;
            if (i % 3 == 0)
                vendel.doc->SetActiveLayer(vendel.layers[std::size_t(vendelLayer)]);
            else
                vendel.doc->SetActiveLayerUnanswered(vendel.layers[std::size_t(vendelLayer)]);
        }
        korrinLayerOf[i] = korrinLayer == 0 ? QStringLiteral("Korrin_Nodes") : QStringLiteral("Korrin_Beams");
        vendelLayerOf[i] = vendelLayer == 0 ? QStringLiteral("Vendel_Mesh") : QStringLiteral("Vendel_Plus");
        korrin.space->AddLineUnanswered({double(i), 1.0, 0.0}, {double(i), 1.5, 0.0});
        if (i % 11 == 0)
            vendel.space->AddLine({double(i), 2.0, 0.0}, {double(i), 2.5, 0.0});
        else
            vendel.space->AddLineUnanswered({double(i), 2.0, 0.0}, {double(i), 2.5, 0.0});
    }
    korrin.doc->AwaitUnanswered();
    vendel.doc->AwaitUnanswered();
    ASSERT_EQ(korrin.space->Count(), 2 * kLines);

    // Each reads back its own active layer; the host shows the one set last.
    EXPECT_EQ(korrin.doc->ActiveLayer()->Name(), korrinLayerOf[kLines - 1]);
    EXPECT_EQ(vendel.doc->ActiveLayer()->Name(), vendelLayerOf[kLines - 1]);
    EXPECT_EQ(m_app->ActiveDocument()->ActiveLayer()->Name(), vendelLayerOf[kLines - 1]);

    // Every entity in a program's "tempss" is its own and on the layer it had chosen.
    const auto check = [](AcadSelectionSet& set, double y, std::map<int, QString>& layerOf, const char* who) {
        EXPECT_EQ(set.count(), kLines) << who;
        int wrong = 0;
        for (std::int32_t k = 0; k < set.count(); ++k) {
            AcadEntityPtr line = set.Item(k);
            const Point3 start = line->StartPoint();
            const int i = int(start[0]);
            if (start[1] != y || line->Layer() != layerOf[i])
                ++wrong;
        }
        EXPECT_EQ(wrong, 0) << who << ": entities on another program's layer or of another program";
    };
    AcadSelectionSetPtr korrinSet = korrin.doc->SelectionSets()->Add(QStringLiteral("tempss"));
    korrinSet->Select(5, std::nullopt, std::nullopt, {-4, 8, 8, -4},
                      {QStringLiteral("<or"), QStringLiteral("Korrin_Nodes"), QStringLiteral("Korrin_Beams"), QStringLiteral("or>")});
    check(*korrinSet, 1.0, korrinLayerOf, "Korrin");

    // While Korrin's "tempss" lives, Vendel has one of its own.
    AcadSelectionSetPtr vendelSet;
    ASSERT_EQ(FailureCode([&] { vendelSet = vendel.doc->SelectionSets()->Add(QStringLiteral("tempss")); }), 0u);
    EXPECT_EQ(vendelSet->count(), 0);
    vendelSet->Select(5, std::nullopt, std::nullopt, {-4, 8, 8, -4},
                      {QStringLiteral("<or"), QStringLiteral("Vendel_Mesh"), QStringLiteral("Vendel_Plus"), QStringLiteral("or>")});
    check(*vendelSet, 2.0, vendelLayerOf, "Vendel");
    EXPECT_EQ(korrin.doc->SelectionSets()->Count(), 1);
    EXPECT_EQ(vendel.doc->SelectionSets()->Item(QStringLiteral("TEMPSS"))->Name(), QStringLiteral("tempss"));
    EXPECT_EQ(korrinSet->count(), kLines);

    // One program's erase through its set leaves the other's drawing whole.
    vendelSet->Erase();
    vendelSet->Delete();
    EXPECT_EQ(korrinSet->count(), kLines);
    EXPECT_EQ(korrin.space->Count(), kLines);
    korrinSet->Delete();
    EXPECT_EQ(FailureCode([&] { korrin.doc->SelectionSets()->Item(QStringLiteral("tempss")); }), kKeyNotFound);
}

TEST_F(HostCallersTest, ALayerAnotherProgramAddsToIsNotDeletedUnderIt)
{
    Program korrin = Attach({QStringLiteral("Korrin_Loads")});
    Program vendel = Attach({QStringLiteral("Vendel_Loads")});
    ASSERT_TRUE(korrin.app && vendel.app);
    korrin.doc->SetActiveLayer(korrin.layers[0]);
    vendel.doc->SetActiveLayer(vendel.layers[0]);

    // Korrin_Loads is empty and not the drawing's active layer, but Korrin adds to it.
    AcadLayerPtr korrinLoads = vendel.doc->Layers()->Item(QStringLiteral("Korrin_Loads"));
    EXPECT_EQ(FailureCode([&] { korrinLoads->Delete(); }), kEngineRefused);
    EXPECT_EQ(FailureCode([&] { korrinLoads->SetFreeze(true); }), kEngineRefused);
    korrin.space->AddPoint({1, 1, 0});
    EXPECT_EQ(korrin.doc->ModelSpace()->Count(), 1);

    // Once Korrin has moved on, as the wizards do before recreating their layers, it goes.
    korrin.doc->SetActiveLayer(korrin.doc->Layers()->Item(QStringLiteral("0")));
    AcadSelectionSetPtr set = korrin.doc->SelectionSets()->Add(QStringLiteral("tempss"));
    set->Select(5, std::nullopt, std::nullopt, {8}, {QStringLiteral("Korrin_Loads")});
    set->Erase();
    set->Delete();
    EXPECT_EQ(FailureCode([&] { korrinLoads->Delete(); }), 0u);
}

TEST_F(HostCallersTest, ACallerThatNeverReadsIsHeldWhileOthersAreServedAndThenGetsEveryReplyInOrder)
{
    Flooder flooder(m_socketPath);
    ASSERT_TRUE(flooder.Connected());
    // The host stops reading the flooder after a bounded amount (its replies pass 1 MiB).
    EXPECT_LT(flooder.FloodUntilHeld(kFloodBytes), qint64(16) << 20) << "the host read on from a caller that never reads its replies";

    // Meanwhile another program is served as usual.
    Program other = Attach({QStringLiteral("Walls")});
    ASSERT_TRUE(other.app);
    EXPECT_EQ(other.app->Name(), QStringLiteral("cadhost"));
    other.doc->SetActiveLayer(other.layers[0]);
    EXPECT_EQ(other.space->AddLine({0, 0, 0}, {1, 1, 0})->Layer(), QStringLiteral("Walls"));

    // The flooder starts reading: every reply arrives, in the order of the requests.
    const Flooder::Replies replies = flooder.ReadAll();
    EXPECT_EQ(replies.received, flooder.Sent()) << "replies missing";
    EXPECT_EQ(replies.wrong, 0) << "replies out of order or wrong";
    EXPECT_EQ(other.app->Name(), QStringLiteral("cadhost"));
}

TEST_F(HostCallersTest, AHeldCallerThatGoesAwayIsLetGo)
{
    const int before = OpenDescriptors(m_host.Pid());
    Flooder flooder(m_socketPath);
    ASSERT_TRUE(flooder.Connected());
    flooder.FloodUntilHeld(kFloodBytes);
    flooder.Close();
    // The host notices the caller has gone although it reads nothing of it, and closes its end.
    QDeadlineTimer deadline(20000);
    while (OpenDescriptors(m_host.Pid()) > before && !deadline.hasExpired())
        QTest::qWait(50);
    EXPECT_EQ(OpenDescriptors(m_host.Pid()), before);
    EXPECT_EQ(m_app->Name(), QStringLiteral("cadhost"));
}
