// Guards the automation link against: members of the object model answering wrongly or not at
// all, point input giving the wrong result or code, nested calls deadlocking while a point is
// pending, a killed host leaving calls hanging or answering late, calls on a closed drawing
// reaching another one, malformed or oversized messages bringing the host down, and input to
// the program while a call waits getting through or staying silent, a call time-out that
// does not give up a stopped host, and a view that does not show what was just drawn.
#include <chrono>
#include <csignal>
#include <limits>
#include <sys/stat.h>

#include <QCborMap>
#include <QDialog>
#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "cadhost/server/AutomationServer.h"
#include "cad/CadError.h"
#include "cad/CadLink.h"
#include "cad/CadProxy.h"
#include "cad/DrawnExtents.h"
#include "cadlink/Wire.h"
#include "support/DrawingTestSupport.h"
#include "support/HostProcess.h"
#include "cadhost/ui/HostWindow.h"
#include "desktop/modMessage.h"
#include "support/TestSupport.h"
#include "cadhost/app/WindowFrontEnd.h"

using namespace ardela::cad;
using ardela::test::FailureCode;
using ardela::test::HostProcess;

namespace {

class CadLinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_socketPath = m_dir.filePath(QStringLiteral("host"));
        ASSERT_TRUE(m_host.Start(m_socketPath, {QStringLiteral("--socket"), m_socketPath, QStringLiteral("--second-instance")}));
        m_app = ConnectApplication(m_socketPath, 5000);
        ASSERT_TRUE(m_app);
        m_doc = m_app->ActiveDocument();
    }

    // The testing aid of the host: input to the pending point request.
    void Simulate(const QString& kind, const std::optional<Point3>& at = std::nullopt, const QString& text = QString())
    {
        QCborValue point;
        if (at)
            point = QCborArray{(*at)[0], (*at)[1], (*at)[2]};
        LinkOf(m_app)->Call(Handle{HandleKind::Application, 0, QCborValue()}, QStringLiteral("SimulateInput"),
                            {kind, point, text});
    }

    // Asks for a point and gives `kind` input once the request waits.
    Point3 PointAnsweredBy(const QString& kind, const std::optional<Point3>& at = std::nullopt, const QString& text = QString())
    {
        // The input follows the request on the same connection: the host reads it after the request.
        std::shared_ptr<AcadUtility> utility = m_doc->Utility();
        QTimer::singleShot(0, [=, this] { Simulate(kind, at, text); });
        return utility->GetPoint(std::nullopt, QStringLiteral("Pick a node:"));
    }

    QTemporaryDir m_dir;
    QString m_socketPath;
    HostProcess m_host;
    AcadApplicationPtr m_app;
    AcadDocumentPtr m_doc;
};

// Sends raw bytes on a connection of its own and reads one reply, or nothing when it closed.
class RawCaller {
public:
    explicit RawCaller(const QString& path)
    {
        m_socket.connectToServer(path);
        m_socket.waitForConnected(5000);
    }
    bool Connected() const { return m_socket.state() == QLocalSocket::ConnectedState; }
    void Send(const QByteArray& bytes)
    {
        m_socket.write(bytes);
        m_socket.flush();
    }
    std::optional<QCborMap> Reply()
    {
        for (int i = 0; i < 100; ++i) {
            QCborMap message;
            if (m_reader.Next(message) == MessageReader::Status::Message)
                return message;
            if (m_socket.state() != QLocalSocket::ConnectedState && m_socket.bytesAvailable() == 0)
                return std::nullopt;
            m_socket.waitForReadyRead(100);
            m_reader.Feed(m_socket);
        }
        return std::nullopt;
    }
    bool ClosedByHost()
    {
        if (m_socket.state() == QLocalSocket::UnconnectedState)
            return true;
        return m_socket.waitForDisconnected(5000);
    }

private:
    QLocalSocket m_socket;
    MessageReader m_reader;
};

const Handle kApplication{HandleKind::Application, 0, QCborValue()};

} // namespace

TEST_F(CadLinkTest, ApplicationAndDocumentsAnswer)
{
    EXPECT_EQ(m_app->Name(), QStringLiteral("cadhost"));
    m_app->SetVisible(true);
    EXPECT_TRUE(m_app->Visible());
    EXPECT_EQ(m_app->ProcessId(), m_host.Pid());
    EXPECT_EQ(m_doc->Name(), QStringLiteral("Drawing1.dxf"));
    EXPECT_TRUE(m_doc->FullName().isEmpty());

    std::shared_ptr<AcadDocuments> documents = m_app->Documents();
    AcadDocumentPtr second = documents->Add();
    EXPECT_EQ(second->Name(), QStringLiteral("Drawing2.dxf"));
    EXPECT_EQ(documents->Count(), 2);
    EXPECT_EQ(documents->Item(1)->Name(), QStringLiteral("Drawing2.dxf"));
    EXPECT_EQ(m_app->ActiveDocument()->Name(), QStringLiteral("Drawing2.dxf"));

    const std::uint64_t view = second->hWnd();
    EXPECT_NE(view, 0u);
    const std::uint64_t root = m_app->RootWindow(view);
    EXPECT_NE(root, 0u);
    EXPECT_NE(root, view);
    EXPECT_EQ(m_app->RootWindow(m_doc->hWnd()), root);
    EXPECT_NO_THROW(m_app->ActivateWindow(root));
}

TEST_F(CadLinkTest, ModelSpaceAddsEveryKindOnTheActiveLayer)
{
    std::shared_ptr<AcadModelSpace> space = m_doc->ModelSpace();
    std::shared_ptr<AcadLayers> layers = m_doc->Layers();
    m_doc->SetActiveLayer(layers->Add(QStringLiteral("Korrin_Beams")));
    EXPECT_EQ(m_doc->ActiveLayer()->Name(), QStringLiteral("Korrin_Beams"));

    const std::vector<AcadEntityPtr> added{
        space->AddLine({0, 0, 0}, {10, 0, 0}),
        space->AddText(QStringLiteral("F = 12.5"), {5, 1, 0}, 2.5),
        space->AddPoint({3, 4, 0}),
        space->AddPolyline({0, 0, 0, 1, 1, 0, 2, 0, 0}),
        space->AddLightWeightPolyline({0, 0, 4, 0, 4, 3}),
        space->AddSolid({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}),
    };
    const QStringList names{"AcDbLine", "AcDbText", "AcDbPoint", "AcDb3dPolyline", "AcDbPolyline", "AcDbSolid"};
    std::set<std::int64_t> ids;
    for (std::size_t i = 0; i < added.size(); ++i) {
        EXPECT_EQ(added[i]->ObjectName(), names[int(i)]);
        EXPECT_EQ(added[i]->Layer(), QStringLiteral("Korrin_Beams"));
        EXPECT_NO_THROW(added[i]->Update());
        ids.insert(added[i]->ObjectID());
    }
    EXPECT_EQ(ids.size(), added.size());
    EXPECT_EQ(space->Count(), 6);

    // A bad vertex list is refused, and nothing is added.
    EXPECT_EQ(FailureCode([&] { space->AddLightWeightPolyline({0, 0, 1}); }), kInvalidArgument);
    EXPECT_EQ(space->Count(), 6);
}

// Calls sent without waiting for their replies must behave as the same calls made one by one:
// carried out in order, the first failure reported, and nothing carried out after it.
TEST_F(CadLinkTest, CallsSentWithoutWaitingRunInOrderAndStopAtTheFirstFailure)
{
    std::shared_ptr<AcadModelSpace> space = m_doc->ModelSpace();
    AcadLayerPtr walls = m_doc->Layers()->Add(QStringLiteral("Walls"));
    AcadLayerPtr zero = m_doc->Layers()->Item(QStringLiteral("0"));
    // More calls than the window holds, switching layers on the way.
    for (int i = 0; i < 1500; ++i) {
        if (i == 1000)
            m_doc->SetActiveLayerUnanswered(walls);
        space->AddLineUnanswered({double(i), 0, 0}, {double(i), 1, 0});
    }
    m_doc->AwaitUnanswered();
    EXPECT_EQ(space->Count(), 1500);
    EXPECT_EQ(m_doc->ActiveLayer()->Name(), QStringLiteral("Walls"));

    // A polyline of two coordinates is refused; the lines sent after it must not be drawn.
    m_doc->SetActiveLayer(zero);
    for (int i = 0; i < 10; ++i)
        space->AddLineUnanswered({0, double(i), 0}, {1, double(i), 0});
    space->AddPolylineUnanswered({1.0, 2.0});
    for (int i = 0; i < 300; ++i)
        space->AddLineUnanswered({5, double(i), 0}, {6, double(i), 0});
    m_doc->SetActiveLayerUnanswered(walls);
    try {
        m_doc->AwaitUnanswered();
        ADD_FAILURE() << "the refused polyline was not reported";
    } catch (const CadError& error) {
        EXPECT_EQ(error.Code(), kInvalidArgument) << error.Text().toStdString();
    }
    EXPECT_EQ(space->Count(), 1510);
    EXPECT_EQ(m_doc->ActiveLayer()->Name(), QStringLiteral("0"));

    // The failure is reported once; the next calls, sent or waited for, are carried out.
    space->AddLineUnanswered({9, 9, 0}, {10, 10, 0});
    m_doc->AwaitUnanswered();
    EXPECT_EQ(space->Count(), 1511);
}

TEST_F(CadLinkTest, CallsSentWithoutWaitingFailWithTheLinkWhenTheHostIsKilled)
{
    std::shared_ptr<AcadModelSpace> space = m_doc->ModelSpace();
    for (int i = 0; i < 100; ++i)
        space->AddLineUnanswered({double(i), 0, 0}, {double(i), 1, 0});
    m_host.Kill();
    try {
        for (int i = 0; i < 100000; ++i)
            space->AddLineUnanswered({double(i), 2, 0}, {double(i), 3, 0});
        m_doc->AwaitUnanswered();
        ADD_FAILURE() << "the lost host was not reported";
    } catch (const CadError& error) {
        EXPECT_EQ(error.Code(), kDisconnected);
    }
}

TEST_F(CadLinkTest, TextPropertiesAreSetAndReadBack)
{
    AcadEntityPtr text = m_doc->ModelSpace()->AddText(QStringLiteral("N1"), {2, 3, 0}, 2.5);
    EXPECT_EQ(text->Alignment(), 0);
    text->SetAlignment(13);
    text->SetTextAlignmentPoint({2, 3, 0});
    text->SetRotation(1.5707963267948966);
    text->SetHeight(5.0);
    EXPECT_EQ(text->Alignment(), 13);
    const Point3 anchor = text->TextAlignmentPoint();
    EXPECT_DOUBLE_EQ(anchor[0], 2.0);
    EXPECT_DOUBLE_EQ(anchor[1], 3.0);
    EXPECT_DOUBLE_EQ(text->Rotation(), 1.5707963267948966);
    EXPECT_DOUBLE_EQ(text->Height(), 5.0);
    EXPECT_EQ(text->TextString(), QStringLiteral("N1"));

    AcadEntityPtr line = m_doc->ModelSpace()->AddLine({0, 0, 0}, {1, 1, 0});
    EXPECT_EQ(FailureCode([&] { line->Alignment(); }), kMemberNotFound);
}

TEST_F(CadLinkTest, LayersLineTypesVariablesAndTextStyle)
{
    std::shared_ptr<AcadLayers> layers = m_doc->Layers();
    AcadLayerPtr nodes = layers->Add(QStringLiteral("Korrin_Nodes"));
    nodes->SetColor(2);
    EXPECT_EQ(nodes->Color(), 2);
    EXPECT_EQ(layers->Add(QStringLiteral("KORRIN_NODES"))->Name(), QStringLiteral("Korrin_Nodes"));
    EXPECT_EQ(layers->Item(QStringLiteral("korrin_nodes"))->Color(), 2);
    EXPECT_EQ(FailureCode([&] { nodes->SetColor(256); }), kInvalidArgument);

    const QString linFile = QDir(m_dir.path()).filePath(QStringLiteral("own.lin"));
    {
        QFile file(linFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("*DASHED,Dashed __ __ __\nA,.5,-.25\n");
    }
    std::shared_ptr<AcadLineTypes> lineTypes = m_doc->lineTypes();
    QStringList loaded;
    for (std::int32_t i = 0; i < lineTypes->Count(); ++i)
        loaded << lineTypes->Name(i).toLower();
    EXPECT_FALSE(loaded.contains(QStringLiteral("dashed")));
    lineTypes->Load(QStringLiteral("DASHED"), linFile);
    nodes->SetLinetype(QStringLiteral("DASHED"));
    EXPECT_EQ(nodes->Linetype().toUpper(), QStringLiteral("DASHED"));
    EXPECT_NE(FailureCode([&] { nodes->SetLinetype(QStringLiteral("DASHDOT")); }), 0u);

    nodes->SetLayerOn(false);
    nodes->SetLock(true);
    EXPECT_FALSE(nodes->LayerOn());
    EXPECT_TRUE(nodes->Lock());
    nodes->SetFreeze(true);
    EXPECT_TRUE(nodes->Freeze());

    bool sawLayerZero = false;
    for (std::int32_t i = 0; i < layers->Count(); ++i)
        sawLayerZero |= layers->Item(i)->Name() == QLatin1String("0");
    EXPECT_TRUE(sawLayerZero);
    EXPECT_EQ(FailureCode([&] { layers->Item(QStringLiteral("0"))->Delete(); }), 0x80020009u);
    nodes->Delete();
    EXPECT_EQ(FailureCode([&] { layers->Item(QStringLiteral("Korrin_Nodes")); }), kKeyNotFound);
    EXPECT_NE(FailureCode([&] { nodes->Color(); }), 0u);

    m_doc->SetVariable(QStringLiteral("OSMODE"), 33);
    EXPECT_EQ(m_doc->GetVariable(QStringLiteral("OSMODE")), 33);
    EXPECT_NO_THROW(m_doc->Regen(0));

    std::shared_ptr<AcadTextStyle> style = m_doc->ActiveTextStyle();
    style->SetFont(QStringLiteral("Arial"), true, false, 238, 34);
    QString typeface;
    bool bold = false;
    bool italic = true;
    std::int32_t charset = 0;
    std::int32_t pitch = 0;
    style->GetFont(typeface, bold, italic, charset, pitch);
    EXPECT_EQ(typeface, QStringLiteral("Arial"));
    EXPECT_TRUE(bold);
    EXPECT_FALSE(italic);
    EXPECT_EQ(charset, 238);
    EXPECT_EQ(pitch, 34);
}

TEST_F(CadLinkTest, SelectionSetsSelectFilterEraseAndDelete)
{
    std::shared_ptr<AcadModelSpace> space = m_doc->ModelSpace();
    std::shared_ptr<AcadLayers> layers = m_doc->Layers();
    m_doc->SetActiveLayer(layers->Add(QStringLiteral("Korrin_Plus")));
    space->AddLine({0, 0, 0}, {10, 0, 0});
    space->AddText(QStringLiteral("+5"), {5, 0, 0}, 2.5);
    m_doc->SetActiveLayer(layers->Add(QStringLiteral("Walls")));
    const std::int64_t node = space->AddPoint({20, 20, 0})->ObjectID();
    space->AddLine({0, 5, 0}, {30, 5, 0});
    m_doc->SetActiveLayer(layers->Item(QStringLiteral("0")));

    std::shared_ptr<AcadSelectionSets> sets = m_doc->SelectionSets();
    AcadSelectionSetPtr set = sets->Add(QStringLiteral("tempss"));
    EXPECT_NE(FailureCode([&] { sets->Add(QStringLiteral("TEMPSS")); }), 0u);

    // Crossing at one picked point, points only: the node and nothing else.
    set->Select(1, Point3{20, 20, 0}, Point3{20, 20, 0}, {0}, {QStringLiteral("Point")});
    ASSERT_EQ(set->count(), 1);
    EXPECT_EQ(set->Item(0)->ObjectID(), node);

    AcadSelectionSetPtr again = sets->Item(QStringLiteral("tempss"));
    again->Delete();
    EXPECT_NE(FailureCode([&] { set->count(); }), 0u);

    set = sets->Add(QStringLiteral("tempss"));
    set->Select(5, std::nullopt, std::nullopt, {8}, {QStringLiteral("Korrin_Plus")});
    EXPECT_EQ(set->count(), 2);
    set->Erase();
    set->Delete();
    EXPECT_EQ(space->Count(), 2);

    set = sets->Add(QStringLiteral("tempss"));
    set->Select(5, std::nullopt, std::nullopt, {-4, 0, 0, -4},
                {QStringLiteral("<or"), QStringLiteral("Point"), QStringLiteral("TEXT"), QStringLiteral("or>")});
    EXPECT_EQ(set->count(), 1);
    EXPECT_EQ(FailureCode([&] { set->Item(1); }), kKeyNotFound);
    set->Delete();
}

TEST_F(CadLinkTest, DeletedObjectsAnswerOneCodeWhereverTheyAreMet)
{
    // A deleted entity, layer or set is the host's failure, never the lost link a wizard
    // would take it for, nor the code of a cancelled pick.
    std::shared_ptr<AcadModelSpace> space = m_doc->ModelSpace();
    std::shared_ptr<AcadLayers> layers = m_doc->Layers();
    AcadLayerPtr walls = layers->Add(QStringLiteral("Walls"));
    AcadEntityPtr line = space->AddLine({0, 0, 0}, {10, 0, 0});
    std::shared_ptr<AcadSelectionSets> sets = m_doc->SelectionSets();
    AcadSelectionSetPtr first = sets->Add(QStringLiteral("first"));
    AcadSelectionSetPtr second = sets->Add(QStringLiteral("second"));
    first->Select(5, std::nullopt, std::nullopt, {0}, {QStringLiteral("Line")});
    second->Select(5, std::nullopt, std::nullopt, {0}, {QStringLiteral("Line")});
    first->Erase();

    EXPECT_EQ(FailureCode([&] { line->ObjectID(); }), kHostFailed);
    EXPECT_EQ(FailureCode([&] { line->Layer(); }), kHostFailed);
    ASSERT_EQ(second->count(), 1);
    EXPECT_EQ(FailureCode([&] { second->Item(0)->ObjectName(); }), kHostFailed);
    // Erasing what is already gone is no failure.
    EXPECT_EQ(FailureCode([&] { second->Erase(); }), 0u);

    walls->Delete();
    EXPECT_EQ(FailureCode([&] { walls->Color(); }), kHostFailed);
    EXPECT_EQ(FailureCode([&] { walls->SetColor(3); }), kHostFailed);
    EXPECT_EQ(FailureCode([&] { m_doc->SetActiveLayer(walls); }), kHostFailed);

    first->Delete();
    EXPECT_EQ(FailureCode([&] { first->count(); }), kHostFailed);
    EXPECT_EQ(FailureCode([&] { first->Select(5, std::nullopt, std::nullopt, {}, {}); }), kHostFailed);
    // The drawing serves on.
    EXPECT_EQ(space->Count(), 0);
}

TEST(CadLinkHost, EveryMemberOfTheTableHasAHandler)
{
    EXPECT_TRUE(cadhost::Dispatcher::EveryMemberHasAHandler());
}

TEST_F(CadLinkTest, SavedDrawingOpensAgainAndAClosedOneIsGone)
{
    m_doc->ModelSpace()->AddLine({0, 0, 0}, {10, 0, 0});
    EXPECT_FALSE(m_doc->Saved());
    const QString asked = QDir(m_dir.path()).filePath(QStringLiteral("frame.dwg"));
    m_doc->SaveAs(asked);
    EXPECT_EQ(m_doc->FullName(), QDir(m_dir.path()).filePath(QStringLiteral("frame.dxf")));
    EXPECT_TRUE(m_doc->Saved());
    EXPECT_TRUE(QFile::exists(m_doc->FullName()));
    const QString saved = m_doc->FullName();
    m_doc->ModelSpace()->AddPoint({1, 1, 0});
    m_doc->Save();
    EXPECT_TRUE(m_doc->Saved());

    EXPECT_NE(FailureCode([&] { m_doc->SaveAs(m_dir.filePath(QStringLiteral("missing/folder/x.dxf"))); }), 0u);

    AcadEntityPtr kept = m_doc->ModelSpace()->AddLine({0, 0, 0}, {1, 0, 0});
    m_doc->Close();
    EXPECT_EQ(FailureCode([&] { m_doc->Name(); }), kDisconnected);
    EXPECT_EQ(FailureCode([&] { kept->ObjectID(); }), kDisconnected);
    EXPECT_EQ(m_app->Documents()->Count(), 0);
    EXPECT_NE(FailureCode([&] { m_app->ActiveDocument(); }), 0u);

    AcadDocumentPtr opened = m_app->Documents()->Open(saved);
    EXPECT_EQ(opened->Name(), QStringLiteral("frame.dxf"));
    EXPECT_EQ(opened->ModelSpace()->Count(), 2);
    // The handle of the closed drawing does not reach the one opened in its place.
    EXPECT_EQ(FailureCode([&] { m_doc->Name(); }), kDisconnected);
    EXPECT_NE(FailureCode([&] { m_app->Documents()->Open(m_dir.filePath(QStringLiteral("plan.dwg"))); }), 0u);
}

TEST_F(CadLinkTest, PointInputAnswersClicksTypedPointsAndEndings)
{
    // A click goes through the view's screen position: exact to rounding, not to the bit.
    Point3 p = PointAnsweredBy(QStringLiteral("click"), Point3{3.25, -4.5, 0});
    EXPECT_NEAR(p[0], 3.25, 1e-9);
    EXPECT_NEAR(p[1], -4.5, 1e-9);
    EXPECT_DOUBLE_EQ(p[2], 0.0);

    p = PointAnsweredBy(QStringLiteral("type"), std::nullopt, QStringLiteral("5.5,6"));
    EXPECT_DOUBLE_EQ(p[0], 5.5);
    EXPECT_DOUBLE_EQ(p[1], 6.0);

    // Node snap: a click beside a point entity lands on it.
    m_doc->ModelSpace()->AddPoint({10, 10, 0});
    m_doc->SetVariable(QStringLiteral("OSMODE"), 8);
    p = PointAnsweredBy(QStringLiteral("click"), Point3{10.2, 9.9, 0});
    EXPECT_DOUBLE_EQ(p[0], 10.0);
    EXPECT_DOUBLE_EQ(p[1], 10.0);

    EXPECT_EQ(FailureCode([&] { PointAnsweredBy(QStringLiteral("enter")); }), 0x80210020u);
    EXPECT_EQ(FailureCode([&] { PointAnsweredBy(QStringLiteral("rightclick")); }), 0x80210020u);
    EXPECT_EQ(FailureCode([&] { PointAnsweredBy(QStringLiteral("escape")); }), 0x80020009u);
    // The link is in step after every ending.
    EXPECT_EQ(m_doc->Name(), QStringLiteral("Drawing1.dxf"));
}

TEST_F(CadLinkTest, NameIsReadWhilePointInputWaits)
{
    QString nestedName;
    std::uint32_t nestedFailure = 1;
    std::shared_ptr<AcadUtility> utility = m_doc->Utility();
    // Runs once the pick has been sent and waits for its answer.
    QTimer::singleShot(0, [&] {
        nestedFailure = FailureCode([&] { nestedName = m_doc->Name() + QLatin1Char('|') + m_app->Name(); });
        Simulate(QStringLiteral("click"), Point3{1, 2, 0});
    });
    const Point3 p = utility->GetPoint(std::nullopt, QStringLiteral("Pick:"));
    EXPECT_EQ(nestedFailure, 0u);
    EXPECT_EQ(nestedName, QStringLiteral("Drawing1.dxf|cadhost"));
    EXPECT_NEAR(p[1], 2.0, 1e-9);
}

TEST_F(CadLinkTest, ClosingTheDrawingEndsItsPendingPointInput)
{
    AcadDocumentPtr other = ConnectApplication(m_socketPath, 5000)->ActiveDocument();
    std::shared_ptr<AcadUtility> utility = m_doc->Utility();
    // Closed while the pick waits, or before the host reads it: either way the pick fails.
    QTimer::singleShot(0, [&] { other->Close(); });
    EXPECT_EQ(FailureCode([&] { utility->GetPoint(std::nullopt, QStringLiteral("Pick:")); }), kDisconnected);
}

TEST_F(CadLinkTest, CallerThatLeavesDuringPointInputDoesNotBlockTheNextPick)
{
    const Handle utility{HandleKind::Utility, 1, QCborValue()};
    const QCborArray pick{QCborValue(), QStringLiteral("Pick:")};
    const auto pickThenName = [&](qint64 id) {
        return FramedRequest(id, utility, QStringLiteral("GetPoint"), pick) +
               FramedRequest(id + 1, kApplication, QStringLiteral("Name"));
    };
    {
        RawCaller leaving(m_socketPath);
        ASSERT_TRUE(leaving.Connected());
        // The reply to Name, sent after the pick, shows the host holds the point request.
        leaving.Send(pickThenName(1));
        const std::optional<QCborMap> reply = leaving.Reply();
        ASSERT_TRUE(reply);
        ASSERT_EQ(reply->value(wire::kId).toInteger(), 2);
    }
    // Until the host has seen that caller go, a pick is refused at once; afterwards it waits.
    RawCaller next(m_socketPath);
    ASSERT_TRUE(next.Connected());
    const QDeadlineTimer deadline(20000);
    qint64 id = 10;
    for (;; id += 2) {
        ASSERT_FALSE(deadline.hasExpired()) << "the departed caller still holds the point input";
        next.Send(pickThenName(id));
        const std::optional<QCborMap> first = next.Reply();
        ASSERT_TRUE(first);
        if (first->value(wire::kId).toInteger() == id + 1)
            break;
        ASSERT_EQ(first->value(wire::kId).toInteger(), id);
        EXPECT_EQ(first->value(wire::kError).toInteger(), qint64(kEngineRefused));
        EXPECT_EQ(first->value(wire::kText).toString(), QStringLiteral("A point is already being asked for."));
        ASSERT_TRUE(next.Reply());
    }
    Simulate(QStringLiteral("type"), std::nullopt, QStringLiteral("7,8"));
    const std::optional<QCborMap> point = next.Reply();
    ASSERT_TRUE(point);
    EXPECT_EQ(point->value(wire::kId).toInteger(), id);
    EXPECT_EQ(point->value(wire::kResult).toArray(), (QCborArray{7.0, 8.0, 0.0}));
}

TEST_F(CadLinkTest, OpeningADeviceOrAFolderIsRefusedAtOnceAndTheHostServesOn)
{
    const auto textOf = [&](const QString& path) {
        try {
            m_app->Documents()->Open(path);
        } catch (const CadError& error) {
            EXPECT_EQ(error.Code(), kEngineRefused);
            return error.Text();
        }
        return QStringLiteral("opened");
    };
    // Reading /dev/zero would grow the host until the machine runs out of memory.
    EXPECT_EQ(textOf(QStringLiteral("/dev/zero")), QStringLiteral("The drawing \"/dev/zero\" cannot be opened: it is not a regular file."));
    EXPECT_EQ(textOf(m_dir.path()), QStringLiteral("The drawing \"%1\" cannot be opened: it is a folder.").arg(m_dir.path()));
    EXPECT_EQ(m_app->Documents()->Count(), 1);
    EXPECT_EQ(m_app->Name(), QStringLiteral("cadhost"));
}

TEST_F(CadLinkTest, EachCallIsOneStepTheEngineerCanUndo)
{
    std::shared_ptr<AcadModelSpace> space = m_doc->ModelSpace();
    AcadEntityPtr first = space->AddLine({0, 0, 0}, {1, 0, 0});
    space->AddLine({0, 1, 0}, {1, 1, 0});
    ASSERT_EQ(space->Count(), 2);
    Simulate(QStringLiteral("type"), std::nullopt, QStringLiteral("U"));
    EXPECT_EQ(space->Count(), 1);
    // One Erase of a selection set is one step, however much it erases.
    std::shared_ptr<AcadSelectionSet> set = m_doc->SelectionSets()->Add(QStringLiteral("tempss"));
    set->Select(5, std::nullopt, std::nullopt, {}, {});
    set->Erase();
    set->Delete();
    EXPECT_EQ(space->Count(), 0);
    Simulate(QStringLiteral("type"), std::nullopt, QStringLiteral("U"));
    EXPECT_EQ(space->Count(), 1);
    // The line came back as it was: the ObjectID the wizard keeps still names it.
    EXPECT_EQ(first->ObjectName(), QStringLiteral("AcDbLine"));
    Simulate(QStringLiteral("type"), std::nullopt, QStringLiteral("REDO"));
    EXPECT_EQ(space->Count(), 0);
}

TEST_F(CadLinkTest, KilledHostFailsThePendingCallAndEveryLaterOne)
{
    // The host dies while the pick waits (the time this takes is measured by bench_cadlink_kill).
    std::shared_ptr<AcadUtility> utility = m_doc->Utility();
    QTimer::singleShot(0, [&] { m_host.Kill(); });
    EXPECT_EQ(FailureCode([&] { utility->GetPoint(std::nullopt, QStringLiteral("Pick:")); }), kDisconnected);
    EXPECT_FALSE(m_app->IsLive());
    EXPECT_EQ(FailureCode([&] { m_app->Name(); }), kDisconnected);
    EXPECT_EQ(FailureCode([&] { m_doc->ModelSpace(); }), kDisconnected);
}

TEST_F(CadLinkTest, CallTimeOutGivesUpAStoppedHostAndEveryLaterCall)
{
    std::shared_ptr<CadLink> link = LinkOf(m_app);
    EXPECT_EQ(link->CallTimeout(), 0) << "a link waits as long as it takes unless told otherwise";
    link->SetCallTimeout(300);
    EXPECT_FALSE(m_app->Name().isEmpty()) << "a host that answers is not affected";
    ASSERT_EQ(::kill(pid_t(m_host.Pid()), SIGSTOP), 0);
    try {
        m_app->Name();
        ADD_FAILURE() << "a stopped host answered";
    } catch (const CadError& error) {
        EXPECT_EQ(error.Code(), kDisconnected);
        EXPECT_EQ(error.Text(), QStringLiteral("The drawing host did not answer within 0.3 s."));
    }
    EXPECT_FALSE(m_app->IsLive());
    EXPECT_EQ(FailureCode([&] { m_doc->ModelSpace(); }), kDisconnected);
    ::kill(pid_t(m_host.Pid()), SIGCONT);
}

TEST_F(CadLinkTest, MalformedRequestsGetAnErrorAndTheHostServesOn)
{
    RawCaller raw(m_socketPath);
    ASSERT_TRUE(raw.Connected());

    raw.Send(QByteArray::fromHex("00000002" "fffc"));
    std::optional<QCborMap> reply = raw.Reply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->value(wire::kError).toInteger(), qint64(kMalformedMessage));

    QCborMap noMember;
    noMember.insert(wire::kId, 5);
    noMember.insert(wire::kHandle, kApplication.ToCbor());
    raw.Send(FrameMessage(noMember));
    reply = raw.Reply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->value(wire::kId).toInteger(), 5);
    EXPECT_EQ(reply->value(wire::kError).toInteger(), qint64(kMalformedMessage));

    raw.Send(FramedRequest(6, kApplication, QStringLiteral("Explode")));
    reply = raw.Reply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->value(wire::kError).toInteger(), qint64(kMemberNotFound));

    raw.Send(FramedRequest(7, Handle{HandleKind::ModelSpace, 1, QCborValue()}, QStringLiteral("AddLine"),
                           {QStringLiteral("a"), 3}));
    reply = raw.Reply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->value(wire::kError).toInteger(), qint64(kInvalidArgument));

    raw.Send(FramedRequest(8, Handle{HandleKind::Document, 999, QCborValue()}, QStringLiteral("Name")));
    reply = raw.Reply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->value(wire::kError).toInteger(), qint64(kDisconnected));

    raw.Send(FramedRequest(9, kApplication, QStringLiteral("Name")));
    reply = raw.Reply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->value(wire::kResult).toString(), QStringLiteral("cadhost"));
    EXPECT_EQ(m_app->Name(), QStringLiteral("cadhost"));
}

TEST_F(CadLinkTest, HostSurvivesGarbageDeepNestingAndWrongFieldTypes)
{
    RawCaller raw(m_socketPath);
    ASSERT_TRUE(raw.Connected());
    const auto frame = [](const QByteArray& body) {
        QByteArray framed(4, Qt::Uninitialized);
        qToBigEndian<quint32>(quint32(body.size()), framed.data());
        return framed + body;
    };
    // Arrays nested a hundred thousand deep, an array claiming 2^32 items, an unfinished map.
    raw.Send(frame(QByteArray(100000, '\x81') + QByteArray(1, '\x00')));
    raw.Send(frame(QByteArray::fromHex("9affffffff00")));
    raw.Send(frame(QByteArray::fromHex("a3000102")));
    // Every field of the wrong type.
    QCborMap wrong;
    wrong.insert(wire::kId, QStringLiteral("one"));
    wrong.insert(wire::kHandle, QCborMap{{1, 2}});
    wrong.insert(wire::kMember, 42);
    wrong.insert(wire::kArgs, QCborMap{{1, 2}});
    raw.Send(FrameMessage(wrong));
    QCborMap badHandle;
    badHandle.insert(wire::kId, 3);
    badHandle.insert(wire::kHandle, QCborArray{11, std::numeric_limits<qint64>::max(), QStringLiteral("x")});
    badHandle.insert(wire::kMember, QStringLiteral("ObjectID"));
    raw.Send(FrameMessage(badHandle));
    // Random frames.
    QRandomGenerator random(20261208);
    for (int i = 0; i < 200; ++i) {
        QByteArray body(int(random.bounded(1, 64)), Qt::Uninitialized);
        for (char& c : body)
            c = char(random.bounded(256));
        raw.Send(frame(body));
    }
    raw.Send(FramedRequest(77, kApplication, QStringLiteral("Name")));
    // Every frame before it gets its error reply or none; the last one is answered.
    std::optional<QCborMap> reply = raw.Reply();
    while (reply && reply->value(wire::kId).toInteger() != 77)
        reply = raw.Reply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->value(wire::kResult).toString(), QStringLiteral("cadhost"));
    EXPECT_EQ(m_doc->Name(), QStringLiteral("Drawing1.dxf"));
    EXPECT_TRUE(m_host.IsRunning());
}

TEST_F(CadLinkTest, OversizedMessageClosesOnlyThatConnection)
{
    RawCaller raw(m_socketPath);
    ASSERT_TRUE(raw.Connected());
    raw.Send(QByteArray::fromHex("7fffffff") + QByteArray(1024, 'x'));
    EXPECT_TRUE(raw.ClosedByHost());
    EXPECT_EQ(m_app->Name(), QStringLiteral("cadhost"));
    EXPECT_EQ(m_doc->Name(), QStringLiteral("Drawing1.dxf"));
}

TEST_F(CadLinkTest, InputWhilePointInputWaitsIsHeldAndAfterTwoSecondsShowsThePendingMessage)
{
    QPushButton button(QStringLiteral("Next"));
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    QSignalSpy clicked(&button, &QPushButton::clicked);
    QStringList messages;
    QStringList titles;
    const ardela::MessageHandler previous = ardela::SetMessageHandler([&](const QString& prompt, std::int16_t, const QString& title) {
        messages << prompt;
        titles << title;
        return std::int16_t(ardela::MsgResultOk);
    });
    SetPendingCallMessage(QStringLiteral("Korrin"), PendingCallText(QStringLiteral("Korrin")));

    QTimer::singleShot(300, [&] { QTest::mouseClick(&button, Qt::LeftButton); });
    QTimer::singleShot(2600, [&] { QTest::mouseClick(&button, Qt::LeftButton); });
    QTimer::singleShot(2900, [&] { Simulate(QStringLiteral("escape")); });
    EXPECT_EQ(FailureCode([&] { m_doc->Utility()->GetPoint(std::nullopt, QStringLiteral("Pick:")); }), kCancelled);
    ardela::SetMessageHandler(previous);

    EXPECT_EQ(clicked.count(), 0);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(titles[0], QStringLiteral("Korrin"));
    EXPECT_EQ(messages[0], QStringLiteral("Your are trying to return to Korrin without completing the\r\n"
                                          "current task in AutoCAD.Please return to AutoCAD and finish\r\n"
                                          "your task by pressing the right mouse button or Cancel."));
    // Once nothing is pending, input reaches the window again.
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(CadLinkTest, DialogOpenedWhilePointInputWaitsTakesInput)
{
    // The link watch may show its message while a pick waits: that box must be answerable.
    int dialogResult = -1;
    QTimer::singleShot(100, [&] {
        QDialog dialog;
        auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
        QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        QTimer::singleShot(300, ok, [ok] { QTest::mouseClick(ok, Qt::LeftButton); });
        QTimer::singleShot(5000, &dialog, &QDialog::reject);
        dialogResult = dialog.exec();
        Simulate(QStringLiteral("escape"));
    });
    EXPECT_EQ(FailureCode([&] { m_doc->Utility()->GetPoint(std::nullopt, QStringLiteral("Pick:")); }), kCancelled);
    EXPECT_EQ(dialogResult, int(QDialog::Accepted));
}

TEST(CadLinkHost, RunningNameSocketIsInAFolderOnlyItsUserCanOpen)
{
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    ardela::test::ScopedEnv env("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    const QString running = WellKnownSocketPath();
    HostProcess host;
    ASSERT_TRUE(host.Start(running, {}));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(SocketFolder()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(QFile::encodeName(running).constData(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0077, 0u);

    // A second server asked to take the name only when free leaves it to the live host: the
    // socket file is not replaced and calls still reach the first host.
    cadhost::HostWindow window;
    cadhost::WindowFrontEnd frontEnd(window);
    cadhost::AutomationServer second(frontEnd);
    EXPECT_FALSE(second.Listen(running));
    AcadApplicationPtr app = ConnectApplication(running, 5000);
    ASSERT_TRUE(app);
    EXPECT_EQ(app->ProcessId(), host.Pid());
}

TEST(CadLinkHost, ASaveOverTheLinkKeepsWhatTheHostDoesNotInterpret)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString drawing = dir.filePath(QStringLiteral("colleague.dxf"));
    {
        QFile file(drawing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("  0\nSECTION\n  2\nENTITIES\n  0\nCIRCLE\n  8\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 40\n5.0\n"
                   "  0\nLINE\n  8\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 11\n1.0\n 21\n1.0\n 31\n0.0\n  0\nENDSEC\n  0\nEOF\n");
    }
    cadhost::HostWindow window;
    window.SetHeadless(true);
    cadhost::WindowFrontEnd frontEnd(window);
    cadhost::AutomationServer server(frontEnd);
    const QString socket = dir.filePath(QStringLiteral("host"));
    ASSERT_TRUE(server.Listen(socket));
    AcadApplicationPtr app = ConnectApplication(socket, 5000);
    ASSERT_TRUE(app);
    AcadDocumentPtr doc = app->Documents()->Open(drawing);
    doc->ModelSpace()->AddLine({2, 2, 0}, {3, 3, 0});
    doc->SaveAs(dir.filePath(QStringLiteral("ours.dxf")));
    doc->Save();
    EXPECT_FALSE(window.History().join(QLatin1Char('\n')).contains(QLatin1String("without"))) << "nothing was dropped";
    QFile saved(dir.filePath(QStringLiteral("ours.dxf")));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    EXPECT_TRUE(bytes.contains("  0\nCIRCLE\n  8\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 40\n5.0\n"));
    EXPECT_TRUE(bytes.contains(" 11\n3.0\n 21\n3.0\n")) << "the line added over the link";
}

TEST_F(CadLinkTest, ZoomWindowShowsTheWindowAndTheViewVariablesSayWhatIsShown)
{
    m_doc->ZoomWindow({1000.0, 1000.0, 0.0}, {1100.0, 1050.0, 0.0});
    const Point3 centre = m_doc->GetPointVariable(QStringLiteral("VIEWCTR"));
    EXPECT_NEAR(centre[0], 1050.0, 1e-6);
    EXPECT_NEAR(centre[1], 1025.0, 1e-6);
    const Point3 screen = m_doc->GetPointVariable(QStringLiteral("SCREENSIZE"));
    ASSERT_GT(screen[0], 0.0);
    ASSERT_GT(screen[1], 0.0);
    const double height = m_doc->GetRealVariable(QStringLiteral("VIEWSIZE"));
    // The window fits whole: its height and its width at the view's proportions.
    EXPECT_GE(height, 50.0 - 1e-9);
    EXPECT_GE(height * screen[0] / screen[1], 100.0 - 1e-9);
    DrawnBox window;
    window.Add(1000.0, 1000.0);
    window.Add(1100.0, 1050.0);
    EXPECT_TRUE(ViewOf(*m_doc).Holds(window));
    DrawnBox origin;
    origin.Add(0.0, 0.0);
    EXPECT_FALSE(ViewOf(*m_doc).Holds(origin));

    // A corner that is no finite point is refused; the view stays.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(m_doc->ZoomWindow({nan, 0.0, 0.0}, {1.0, 1.0, 0.0}), CadError);
    EXPECT_NEAR(m_doc->GetPointVariable(QStringLiteral("VIEWCTR"))[0], 1050.0, 1e-6);
}

TEST_F(CadLinkTest, WhatIsDrawnIsRecordedAndBroughtIntoAViewThatDoesNotShowIt)
{
    std::shared_ptr<AcadModelSpace> space = m_doc->ModelSpace();
    DrawnExtents outer;
    space->AddLine({0.0, 0.0, 0.0}, {10.0, 5.0, 0.0});
    {
        DrawnExtents inner;
        space->AddPolyline({-4.0, 2.0, 0.0, 3.0, 20.0, 0.0});
        space->AddLineUnanswered({1.0, 1.0, 0.0}, {2.0, -6.0, 0.0});
        m_doc->AwaitUnanswered();
        EXPECT_EQ(inner.Points().minX, -4.0);
        EXPECT_EQ(inner.Points().minY, -6.0);
        EXPECT_EQ(inner.Points().maxX, 3.0);
        EXPECT_EQ(inner.Points().maxY, 20.0);
    }
    EXPECT_EQ(outer.Points().minX, -4.0);
    EXPECT_EQ(outer.Points().maxX, 10.0);
    // A text reaches as far as its length from its point, whichever way it turns.
    space->AddText(QStringLiteral("12.5"), {50.0, 0.0, 0.0}, 2.0);
    EXPECT_EQ(outer.Points().maxX, 50.0);
    EXPECT_GE(outer.Box().maxX, 50.0 + 4 * 2.0);
    EXPECT_LE(outer.Box().minY, -4 * 2.0);

    // A view that shows every point is left alone; one that does not is zoomed onto them all.
    m_doc->ZoomWindow({-100.0, -100.0, 0.0}, {100.0, 100.0, 0.0});
    const Point3 before = m_doc->GetPointVariable(QStringLiteral("VIEWCTR"));
    EXPECT_FALSE(ShowDrawn(*m_doc, outer));
    EXPECT_EQ(m_doc->GetPointVariable(QStringLiteral("VIEWCTR")), before);
    m_doc->ZoomWindow({500.0, 500.0, 0.0}, {510.0, 510.0, 0.0});
    EXPECT_TRUE(ShowDrawn(*m_doc, outer));
    EXPECT_TRUE(ViewOf(*m_doc).Holds(outer.Box()));
    // Nothing drawn: nothing to show.
    const DrawnExtents nothing;
    m_doc->ZoomWindow({500.0, 500.0, 0.0}, {510.0, 510.0, 0.0});
    EXPECT_FALSE(ShowDrawn(*m_doc, nothing));
}
