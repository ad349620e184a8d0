// Opening and saving drawings: DXF read through the group reader; a drawing read from a file is
// written back through its records, a new drawing through dxflib as DXF release 12.
#include "cadhost/engine/DxfFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QTemporaryFile>

#include <dl_dxf.h>

#include "cadhost/engine/Document.h"
#include "cadhost/engine/DxfGroups.h"
#include "cadhost/engine/EngineError.h"
#include "cadhost/engine/LargePages.h"

namespace cadhost {

namespace {

// ---- writing: one writer per table and entity kind

// dxflib's release 12 writer leaves an entity's own line type (group 6) out: this writer
// adds it after the layer of the entity about to be written.
class StyledWriter : public DL_WriterA {
public:
    using DL_WriterA::DL_WriterA;
    // The own line type of the next entity; empty for one drawn with its layer's.
    void SetEntityLinetype(std::string linetype) { m_linetype = std::move(linetype); }
    void dxfString(int gc, const char* value) const override
    {
        DL_WriterA::dxfString(gc, value);
        AfterString(gc);
    }
    void dxfString(int gc, const std::string& value) const override
    {
        DL_WriterA::dxfString(gc, value);
        AfterString(gc);
    }

private:
    void AfterString(int gc) const
    {
        if (gc != 8 || m_linetype.empty())
            return;
        const std::string linetype = std::move(m_linetype);
        m_linetype.clear();
        DL_WriterA::dxfString(6, linetype);
    }

    mutable std::string m_linetype;
};

DL_Attributes EntityAttributes(const Entity& e)
{
    return DL_Attributes(ToDxfText(e.layer), e.color, 0, e.linetype.isEmpty() ? std::string("BYLAYER") : ToDxfText(e.linetype),
                         1.0);
}

// The drawing's extents in the header ($EXTMIN, $EXTMAX); an empty drawing has none.
void WriteExtents(DL_WriterA& dw, const Document& doc)
{
    const Box2 box = doc.Extents();
    if (box.IsEmpty())
        return;
    dw.dxfString(9, "$EXTMIN");
    dw.dxfReal(10, box.minX);
    dw.dxfReal(20, box.minY);
    dw.dxfReal(30, 0.0);
    dw.dxfString(9, "$EXTMAX");
    dw.dxfReal(10, box.maxX);
    dw.dxfReal(20, box.maxY);
    dw.dxfReal(30, 0.0);
}

// The view a reader opens the drawing in (the *ACTIVE viewport): centred on the drawing's
// extents and just large enough to show them, in a window of aspect 1.5.
void WriteViewport(DL_WriterA& dw, const Document& doc)
{
    constexpr double kAspect = 1.5;
    const Box2 box = doc.Extents();
    double cx = 0.0, cy = 0.0, height = 100.0;
    if (!box.IsEmpty()) {
        cx = (box.minX + box.maxX) / 2;
        cy = (box.minY + box.maxY) / 2;
        height = std::max({box.maxY - box.minY, (box.maxX - box.minX) / kAspect, 1e-6}) * 1.1;
    }
    dw.table("VPORT", 1);
    dw.dxfString(0, "VPORT");
    dw.dxfString(2, "*ACTIVE");
    dw.dxfInt(70, 0);
    const std::pair<int, double> groups[] = {
        {10, 0.0}, {20, 0.0}, {11, 1.0}, {21, 1.0}, {12, cx}, {22, cy}, {13, 0.0}, {23, 0.0}, {14, 1.0}, {24, 1.0},
        {15, 0.0}, {25, 0.0}, {16, 0.0}, {26, 0.0}, {36, 1.0}, {17, 0.0}, {27, 0.0}, {37, 0.0}, {40, height},
        {41, kAspect}, {42, 50.0}, {43, 0.0}, {44, 0.0}, {50, 0.0}, {51, 0.0}};
    for (const auto& [code, value] : groups)
        dw.dxfReal(code, value);
    for (const auto& [code, value] : {std::pair{71, 0}, {72, 100}, {73, 1}, {74, 3}, {75, 0}, {76, 0}, {77, 0}, {78, 0}})
        dw.dxfInt(code, value);
    dw.tableEnd();
}

void WriteLinetypes(DL_Dxf& dxf, DL_WriterA& dw, const Document& doc)
{
    const LinetypeTable& table = doc.Linetypes();
    dw.tableLinetypes(table.Count());
    for (int i = 0; i < table.Count(); ++i) {
        const Linetype& lt = table.At(i);
        std::vector<double> pattern = lt.pattern;
        double length = 0;
        for (double d : pattern)
            length += std::abs(d);
        const std::string name = lt.name.compare(QLatin1String("Continuous"), Qt::CaseInsensitive) == 0 ? "CONTINUOUS"
            : lt.name.compare(QLatin1String("ByLayer"), Qt::CaseInsensitive) == 0 ? "BYLAYER"
            : lt.name.compare(QLatin1String("ByBlock"), Qt::CaseInsensitive) == 0 ? "BYBLOCK"
            : ToDxfText(lt.name);
        dxf.writeLinetype(dw, DL_LinetypeData(name, ToDxfText(lt.description), 0, int(pattern.size()), length,
                                              pattern.empty() ? nullptr : pattern.data()));
    }
    dw.tableEnd();
}

// Layers by hand: dxflib drops the sign of the colour that marks a layer switched off.
void WriteLayers(DL_WriterA& dw, const Document& doc)
{
    const LayerTable& layers = doc.Layers();
    dw.tableLayers(layers.Count());
    for (int i = 0; i < layers.Count(); ++i) {
        const Layer& l = layers.At(i);
        const std::string linetype = l.linetype.compare(QLatin1String("Continuous"), Qt::CaseInsensitive) == 0
            ? std::string("CONTINUOUS") : ToDxfText(l.linetype);
        dw.dxfString(0, "LAYER");
        dw.dxfString(2, ToDxfText(l.name));
        dw.dxfInt(70, (l.frozen ? 1 : 0) | (l.locked ? 4 : 0));
        dw.dxfInt(62, l.on ? l.color : -l.color);
        dw.dxfString(6, linetype);
    }
    dw.tableEnd();
}

void WriteStyle(DL_Dxf& dxf, DL_WriterA& dw, const Document& doc)
{
    const QString typeface = doc.ActiveTextStyle().font.typeface;
    const std::string font = typeface.isEmpty() ? std::string("txt") : ToDxfText(typeface + QStringLiteral(".ttf"));
    dw.tableStyle(1);
    dxf.writeStyle(dw, DL_StyleData("Standard", 0, 0.0, 1.0, 0.0, 0, 2.5, font, ""));
    dw.tableEnd();
}

void WritePoint(DL_Dxf& dxf, DL_WriterA& dw, const Entity& e)
{
    const Point3& p = e.points[0];
    dxf.writePoint(dw, DL_PointData(p.x, p.y, p.z), EntityAttributes(e));
}

void WriteLine(DL_Dxf& dxf, DL_WriterA& dw, const Entity& e)
{
    const Point3 &a = e.points[0], &b = e.points[1];
    dxf.writeLine(dw, DL_LineData(a.x, a.y, a.z, b.x, b.y, b.z), EntityAttributes(e));
}

void WriteText(DL_Dxf& dxf, DL_WriterA& dw, const Entity& e)
{
    const Point3& ip = e.points[0];
    const Point3& ap = e.alignment == kAlignLeft ? ip : e.alignmentPoint;
    const int h = HorizontalJustification(e.alignment);
    const int v = (h >= 3) ? 0 : VerticalJustification(e.alignment);
    dxf.writeText(dw, DL_TextData(ip.x, ip.y, ip.z, ap.x, ap.y, ap.z, e.height, 1.0, 0, h, v,
                                  ToDxfText(e.text), "Standard", e.rotation),
                  EntityAttributes(e));
}

// POLYLINE with VERTEX records; 3D polylines carry flag 8 and their vertices flag 32.
void WritePolyline(DL_WriterA& dw, const Entity& e)
{
    const bool is3d = e.kind == EntityKind::Polyline3d;
    dw.entity("POLYLINE");
    dw.entityAttributes(EntityAttributes(e));
    dw.dxfInt(66, 1);
    dw.dxfReal(10, 0.0);
    dw.dxfReal(20, 0.0);
    dw.dxfReal(30, is3d ? 0.0 : (e.points.empty() ? 0.0 : e.points[0].z));
    dw.dxfInt(70, (e.closed ? 1 : 0) | (is3d ? 8 : 0));
    for (const Point3& p : e.points) {
        dw.entity("VERTEX");
        dw.entityAttributes(EntityAttributes(e));
        dw.dxfReal(10, p.x);
        dw.dxfReal(20, p.y);
        dw.dxfReal(30, is3d ? p.z : 0.0);
        dw.dxfInt(70, is3d ? 32 : 0);
    }
    dw.entity("SEQEND");
    dw.entityAttributes(EntityAttributes(e));
}

void WriteSolid(DL_Dxf& dxf, DL_WriterA& dw, const Entity& e)
{
    const auto& p = e.points;
    dxf.writeSolid(dw, DL_SolidData(p[0].x, p[0].y, p[0].z, p[1].x, p[1].y, p[1].z,
                                    p[2].x, p[2].y, p[2].z, p[3].x, p[3].y, p[3].z),
                   EntityAttributes(e));
}

// The whole file, refused before reading when it is not a regular file (a device, a pipe, a
// folder) or is larger than DxfFile::kMaxDrawingBytes.
QByteArray ReadDrawingBytes(const QString& path)
{
    const auto cannotOpen = [&path](const QString& why) {
        return EngineError(QStringLiteral("The drawing \"%1\" cannot be opened: %2").arg(path, why));
    };
    // Not blocking: a pipe must not hold the host until someone writes into it.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw cannotOpen(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        throw cannotOpen(S_ISDIR(info.st_mode) ? QStringLiteral("it is a folder.") : QStringLiteral("it is not a regular file."));
    }
    if (info.st_size > DxfFile::kMaxDrawingBytes) {
        ::close(fd);
        throw cannotOpen(QStringLiteral("it holds %1 bytes, more than the %2 MiB this program opens.")
                             .arg(qint64(info.st_size))
                             .arg(DxfFile::kMaxDrawingBytes / (1024 * 1024)));
    }
    // Read straight into the buffer the drawing keeps, backed by large pages when it is big.
    QByteArray bytes(qsizetype(info.st_size), Qt::Uninitialized);
    AdviseLargePages(bytes.constData(), std::size_t(bytes.size()));
    qsizetype got = 0;
    char spare = 0;
    for (;;) {
        // One byte past the size it had: a file growing meanwhile is noticed.
        char* into = got < bytes.size() ? bytes.data() + got : &spare;
        const std::size_t want = got < bytes.size() ? std::size_t(bytes.size() - got) : 1;
        const ssize_t n = ::read(fd, into, want);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            throw cannotOpen(QString::fromLocal8Bit(std::strerror(error)));
        }
        if (n == 0 || into == &spare) {
            ::close(fd);
            // A file being written meanwhile is not taken half-done.
            if (got != bytes.size() || n > 0)
                throw cannotOpen(QStringLiteral("it changed while it was read."));
            break;
        }
        got += qsizetype(n);
    }
    return bytes;
}

bool LooksLikeDwg(const QByteArray& head)
{
    return head.startsWith("AC10") || head.startsWith("AC1.") || head.startsWith("AC2");
}

} // namespace

int DxfFile::Read(const QString& path, Document& doc)
{
    const QString dwgMessage = QStringLiteral("\"%1\" is a DWG drawing; this program opens DXF drawings only.").arg(path);
    if (path.endsWith(QLatin1String(".dwg"), Qt::CaseInsensitive))
        throw EngineError(dwgMessage);
    const QByteArray bytes = ReadDrawingBytes(path);
    if (LooksLikeDwg(bytes.left(6)))
        throw EngineError(dwgMessage);
    // An ASCII DXF file begins with group 0 SECTION (or a 999 comment).
    const QList<QByteArray> head = bytes.left(256).split('\n');
    const bool dxfStart = head.size() >= 2
        && ((head[0].trimmed() == "0" && head[1].trimmed() == "SECTION") || head[0].trimmed() == "999");
    if (!dxfStart || (!bytes.contains("ENTITIES") && !bytes.contains("TABLES")))
        throw EngineError(QStringLiteral("\"%1\" is not a DXF drawing.").arg(path));

    try {
        doc.SetSource(ReadDxfGroups(bytes, doc));
    } catch (const EngineError& e) {
        throw EngineError(e.Kind(), QStringLiteral("The drawing \"%1\" is damaged: %2").arg(path, e.Message()));
    } catch (const std::exception& e) {
        throw EngineError(QStringLiteral("The drawing \"%1\" is damaged: %2").arg(path, QString::fromLocal8Bit(e.what())));
    }
    doc.SetFileName(path);
    doc.SetLeftOut(QString());
    // The drawing as its file holds it: nothing to undo yet.
    doc.ClearUndo();
    return 0;
}

void DxfFile::Write(const Document& doc, const QString& path)
{
    // dxflib writes to a named file: let it write a scratch file beside the target, check it
    // is complete, then replace the target in one step so a failed save leaves the old
    // drawing as it was.
    if (doc.Source()) {
        // A drawing read from a file goes back with everything it held, in its release.
        const std::string text = WriteDxfGroups(doc, *doc.Source());
        QSaveFile out(path);
        if (!QFileInfo(path).dir().exists())
            throw EngineError(QStringLiteral("The drawing \"%1\" cannot be saved: the folder does not exist.").arg(path));
        if (!out.open(QIODevice::WriteOnly) || out.write(text.data(), qint64(text.size())) != qint64(text.size()) || !out.commit())
            throw EngineError(QStringLiteral("The drawing \"%1\" cannot be saved: %2").arg(path, out.errorString()));
        return;
    }
    const QFileInfo target(path);
    QTemporaryFile scratch(target.dir().filePath(QStringLiteral(".%1-XXXXXX.tmp").arg(target.fileName())));
    if (!target.dir().exists() || !scratch.open())
        throw EngineError(QStringLiteral("The drawing \"%1\" cannot be saved: the folder cannot be written.").arg(path));
    scratch.close();
    const QString tmp = scratch.fileName();
    {
        DL_Dxf dxf;
        const DL_Codes::version version = DL_Codes::AC1009;
        // out() sets the version dxflib writes; the file is then written through our writer.
        std::unique_ptr<DL_WriterA> opened(dxf.out(QFile::encodeName(tmp).constData(), version));
        if (!opened)
            throw EngineError(QStringLiteral("The drawing \"%1\" cannot be written.").arg(path));
        opened->close();
        opened.reset();
        auto dw = std::make_unique<StyledWriter>(QFile::encodeName(tmp).constData(), version);
        if (dw->openFailed())
            throw EngineError(QStringLiteral("The drawing \"%1\" cannot be written.").arg(path));
        dxf.writeHeader(*dw);
        WriteExtents(*dw, doc);
        dw->sectionEnd();
        dw->sectionTables();
        WriteViewport(*dw, doc);
        WriteLinetypes(dxf, *dw, doc);
        WriteLayers(*dw, doc);
        WriteStyle(dxf, *dw, doc);
        dxf.writeView(*dw);
        dxf.writeUcs(*dw);
        dw->tableAppid(1);
        dxf.writeAppid(*dw, "ACAD");
        dw->tableEnd();
        dxf.writeDimStyle(*dw, 1, 1, 1, 1, 1);
        dw->sectionEnd();
        dw->sectionBlocks();
        dxf.writeBlock(*dw, DL_BlockData("*Model_Space", 0, 0.0, 0.0, 0.0));
        dxf.writeEndBlock(*dw, "*Model_Space");
        dxf.writeBlock(*dw, DL_BlockData("*Paper_Space", 0, 0.0, 0.0, 0.0));
        dxf.writeEndBlock(*dw, "*Paper_Space");
        dw->sectionEnd();
        dw->sectionEntities();
        doc.ForEachEntity([&](const Entity& e) {
            dw->SetEntityLinetype(e.linetype.isEmpty() ? std::string() : ToDxfText(e.linetype));
            switch (e.kind) {
            case EntityKind::Point: WritePoint(dxf, *dw, e); break;
            case EntityKind::Line: WriteLine(dxf, *dw, e); break;
            case EntityKind::Text: WriteText(dxf, *dw, e); break;
            case EntityKind::Polyline3d:
            case EntityKind::LwPolyline: WritePolyline(*dw, e); break;
            case EntityKind::Solid: WriteSolid(dxf, *dw, e); break;
            case EntityKind::Other: break;   // only drawings read from a file hold them
            }
        });
        dw->sectionEnd();
        dw->dxfEOF();
        dw->close();
    }
    QFile written(tmp);
    if (!written.open(QIODevice::ReadOnly))
        throw EngineError(QStringLiteral("The drawing \"%1\" cannot be written.").arg(path));
    const QByteArray bytes = written.readAll();
    if (!bytes.trimmed().endsWith("EOF"))
        throw EngineError(QStringLiteral("The drawing \"%1\" cannot be saved: writing it was cut short.").arg(path));
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        throw EngineError(QStringLiteral("The drawing \"%1\" cannot be saved: %2").arg(path, out.errorString()));
}

QString SaveDocument(Document& doc, const QString& path)
{
    if (path.trimmed().isEmpty())
        throw EngineError(ErrorKind::InvalidArgument, QStringLiteral("A file name is needed to save the drawing."));
    QString target = path;
    const QFileInfo info(path);
    if (info.suffix().compare(QLatin1String("dwg"), Qt::CaseInsensitive) == 0)
        target = info.dir().filePath(info.completeBaseName() + QStringLiteral(".dxf"));
    else if (info.suffix().isEmpty())
        target = path + QStringLiteral(".dxf");
    DxfFile::Write(doc, target);
    doc.SetFileName(target);
    return doc.FullName();
}

void SaveDocument(Document& doc)
{
    if (doc.FullName().isEmpty())
        throw EngineError(QStringLiteral("The drawing \"%1\" has never been saved; give it a file name.").arg(doc.Name()));
    DxfFile::Write(doc, doc.FullName());
    doc.MarkSaved();
}

} // namespace cadhost
