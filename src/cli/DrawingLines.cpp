// ReadDrawingLines: dxflib's callbacks gathered into lines and points of the asked layers.
#include "cli/DrawingLines.h"

#include <cmath>
#include <set>
#include <string>

#include <dxflib/dl_creationadapter.h>
#include <dxflib/dl_dxf.h>

#include "desktop/Error.h"

namespace ardela::cli {

namespace {

// dxflib's reader fed into DrawingLines. A polyline's vertices arrive one by one after it; it is
// finished by the next entity, a SEQEND or the end of the file.
class LineCollector : public DL_CreationAdapter {
public:
    LineCollector(QString lineLayer, QString pointLayer)
        : m_lineLayer(std::move(lineLayer)), m_pointLayer(std::move(pointLayer)) {}

    // --- dxflib callbacks ---
    void addBlock(const DL_BlockData&) override { FinishPolyline(); m_inBlock = true; }
    void endBlock() override { m_inBlock = false; }
    void addLine(const DL_LineData& d) override
    {
        FinishPolyline();
        if (!OnLayer(m_lineLayer, true))
            return;
        ++m_lineCount;
        m_result.lines.push_back({d.x1, d.y1, d.x2, d.y2, Named(QStringLiteral("line %1").arg(m_lineCount))});
    }
    void addPolyline(const DL_PolylineData& d) override
    {
        FinishPolyline();
        if (!OnLayer(m_lineLayer, true))
            return;
        ++m_polylineCount;
        m_polyline = Polyline{true, (d.flags & 1) != 0, (d.flags & (16 | 64)) != 0,
                              Named(QStringLiteral("polyline %1").arg(m_polylineCount)), {}};
    }
    void addVertex(const DL_VertexData& d) override
    {
        if (m_polyline.open)
            m_polyline.vertices.push_back({d.x, d.y, d.bulge});
    }
    void endSequence() override { FinishPolyline(); }
    void addPoint(const DL_PointData& d) override
    {
        FinishPolyline();
        if (!m_pointLayer.isEmpty() && OnLayer(m_pointLayer, false))
            m_result.points.push_back({d.x, d.y});
    }
    void addArc(const DL_ArcData&) override { FinishPolyline(); }
    void addCircle(const DL_CircleData&) override { FinishPolyline(); }
    void addText(const DL_TextData&) override { FinishPolyline(); }
    void addInsert(const DL_InsertData&) override { FinishPolyline(); }
    void addSolid(const DL_SolidData&) override { FinishPolyline(); }
    // --- end of dxflib callbacks ---

    // What was read; throws ModelError naming the first polyline that is not a chain of bars.
    DrawingLines Result()
    {
        FinishPolyline();
        if (!m_error.isEmpty())
            throw ModelError(m_error);
        return m_result;
    }

private:
    struct Vertex {
        double x;
        double y;
        double bulge;
    };
    struct Polyline {
        bool open = false;
        bool closed = false;
        bool mesh = false;
        QString name;
        std::vector<Vertex> vertices;
    };

    // True when the current entity lies in model space on `layer`; notes layers holding lines.
    bool OnLayer(const QString& layer, bool lines)
    {
        if (m_inBlock)
            return false;
        const QString current = QString::fromStdString(getAttributes().getLayer());
        if (lines && m_seenLayers.insert(current.toCaseFolded()).second)
            m_result.layersWithLines << current;
        return current.compare(layer, Qt::CaseInsensitive) == 0;
    }

    QString Named(const QString& name)
    {
        const int handle = getAttributes().getHandle();
        return handle >= 0 ? QStringLiteral("%1 (handle %2)").arg(name, QString::number(handle, 16).toUpper()) : name;
    }

    void FinishPolyline()
    {
        if (!m_polyline.open)
            return;
        Polyline p = std::move(m_polyline);
        m_polyline = Polyline{};
        if (p.mesh)
            return Fail(QStringLiteral("%1 on layer %2 is a mesh, not a chain of bars.").arg(p.name, m_lineLayer));
        const std::size_t n = p.vertices.size();
        const std::size_t segments = p.closed && n > 2 ? n : (n > 0 ? n - 1 : 0);
        for (std::size_t k = 0; k < segments; ++k) {
            const Vertex& a = p.vertices[k];
            const Vertex& b = p.vertices[(k + 1) % n];
            const QString name = QStringLiteral("%1 segment %2").arg(p.name).arg(k + 1);
            if (a.bulge != 0.0)
                return Fail(QStringLiteral("%1 on layer %2 is an arc, not a straight bar.").arg(name, m_lineLayer));
            m_result.lines.push_back({a.x, a.y, b.x, b.y, name});
        }
    }

    // Keeps the first fault; the reading goes on to the end of the file.
    void Fail(const QString& what)
    {
        if (m_error.isEmpty())
            m_error = what;
    }

    QString m_lineLayer;
    QString m_pointLayer;
    QString m_error;
    bool m_inBlock = false;
    int m_lineCount = 0;
    int m_polylineCount = 0;
    Polyline m_polyline;
    std::set<QString> m_seenLayers;
    DrawingLines m_result;
};

} // namespace

DrawingLines ReadDrawingLines(const QByteArray& native, const QString& lineLayer, const QString& pointLayer)
{
    LineCollector collector(lineLayer, pointLayer);
    DL_Dxf dxf;
    bool read = false;
    try {
        read = dxf.in(native.toStdString(), &collector);
    } catch (const std::exception& error) {
        throw ModelError(QStringLiteral("the drawing could not be read (%1)").arg(QString::fromLocal8Bit(error.what())));
    }
    if (!read)
        throw ModelError(QStringLiteral("the drawing could not be opened or is not a DXF file"));
    return collector.Result();
}

} // namespace ardela::cli
