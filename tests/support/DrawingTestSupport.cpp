// The drawing host, message recorder and DXF reader of the drawing tests.
#include "support/DrawingTestSupport.h"

#include <cmath>

#include <QFile>
#include <QLocale>
#include <QTextStream>

#include "cad/CadError.h"
#include "cad/CadProxy.h"

namespace ardela::test {

double DxfEntity::Number(int code) const
{
    const auto it = codes.find(code);
    if (it == codes.end())
        return std::nan("");
    return QLocale::c().toDouble(it->second.trimmed());
}

QString DxfEntity::Text(int code) const
{
    const auto it = codes.find(code);
    return it == codes.end() ? QString() : it->second;
}

std::vector<DxfEntity> DxfContents::OnLayer(const QString& layer, const QString& type) const
{
    std::vector<DxfEntity> found;
    for (const DxfEntity& e : entities)
        if (e.layer == layer && (type.isEmpty() || e.type == type))
            found.push_back(e);
    return found;
}

DxfContents ReadDxf(const QString& path)
{
    DxfContents contents;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text)) << path.toStdString();
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    bool inEntities = false;
    for (qsizetype i = 0; i + 1 < lines.size(); i += 2) {
        bool ok = false;
        const int code = lines[i].trimmed().toInt(&ok);
        EXPECT_TRUE(ok) << "line " << i + 1 << " of " << path.toStdString() << " is not a group code";
        if (!ok)
            break;
        const QString value = lines[i + 1].trimmed();
        if (code == 2 && i >= 2 && lines[i - 1].trimmed() == QLatin1String("SECTION")) {
            inEntities = value == QLatin1String("ENTITIES");
        } else if (!inEntities) {
            continue;
        } else if (code == 0) {
            if (value != QLatin1String("ENDSEC"))
                contents.entities.push_back(DxfEntity{value, QString(), {}});
        } else if (!contents.entities.empty()) {
            DxfEntity& current = contents.entities.back();
            if (code == 8)
                current.layer = value;
            current.codes.emplace(code, value);
        }
    }
    return contents;
}

void DrawingHostTest::SetUp()
{
    ASSERT_TRUE(m_dir.isValid());
    const QString socketPath = m_dir.filePath(QStringLiteral("host"));
    ASSERT_TRUE(m_host.Start(socketPath, {QStringLiteral("--socket"), socketPath, QStringLiteral("--second-instance")}));
    m_app = cad::ConnectApplication(socketPath, 10000);
    ASSERT_TRUE(m_app);
    m_doc = m_app->Documents()->Add();
    ASSERT_TRUE(m_doc);
}

void DrawingHostTest::TearDown()
{
    if (m_app) {
        try {
            m_app->Quit();
        } catch (const cad::CadError&) {
        }
    }
    m_host.WaitForExit(5000);
}

DxfContents DrawingHostTest::SavedDrawing()
{
    const QString path = m_dir.filePath(QStringLiteral("drawing%1.dxf").arg(++m_saves));
    m_doc->SaveAs(path);
    return ReadDxf(path);
}

std::vector<cad::AcadEntityPtr> DrawingHostTest::Selected(const QString& layer, const QString& type)
{
    std::vector<std::int16_t> types{8};
    QStringList data{layer};
    if (!type.isEmpty()) {
        types.push_back(0);
        data << type;
    }
    cad::AcadSelectionSetPtr set = m_doc->SelectionSets()->Add(QStringLiteral("testss"));
    set->Select(5, std::nullopt, std::nullopt, types, data);
    std::vector<cad::AcadEntityPtr> entities;
    for (std::int32_t i = 0; i < set->count(); ++i)
        entities.push_back(set->Item(i));
    set->Delete();
    return entities;
}

} // namespace ardela::test
