// Cell records: reading with bounds checks, writing in the fixed little-endian layout.
#include "desktop/CellIO.h"

#include <cstring>

#include <QtEndian>

#include "desktop/AnsiCodec.h"
#include "desktop/Error.h"

namespace ardela {

const char* BinaryReader::Take(qsizetype count)
{
    if (count < 0 || m_data.size() - m_pos < count) {
        if (m_data.size() < m_leastSize)
            throw ModelError(QStringLiteral("the file ends at byte %1 of %2").arg(m_data.size()).arg(m_leastSize));
        throw ModelError(QStringLiteral("the file ends at byte %1, inside a record").arg(m_data.size()));
    }
    const char* p = m_data.constData() + m_pos;
    m_pos += count;
    return p;
}

std::int16_t BinaryReader::ReadInt16()
{
    return qFromLittleEndian<std::int16_t>(Take(2));
}

std::int32_t BinaryReader::ReadInt32()
{
    return qFromLittleEndian<std::int32_t>(Take(4));
}

float BinaryReader::ReadSingle()
{
    const std::uint32_t bits = qFromLittleEndian<std::uint32_t>(Take(4));
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

double BinaryReader::ReadDouble()
{
    const std::uint64_t bits = qFromLittleEndian<std::uint64_t>(Take(8));
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

QByteArray BinaryReader::ReadBytes(qsizetype count)
{
    const char* p = Take(count);
    return QByteArray(p, count);
}

Cell BinaryReader::ReadCell()
{
    const qsizetype at = m_pos;
    const std::int16_t code = ReadInt16();
    switch (code) {
    case CellCodeEmpty: return Cell();
    case CellCodeInt16: return Cell(ReadInt16());
    case CellCodeInt32: return Cell(ReadInt32());
    case CellCodeSingle: return Cell(ReadSingle());
    case CellCodeDouble: return Cell(ReadDouble());
    case CellCodeBool: return Cell(ReadInt16() != 0);
    case CellCodeText: {
        const std::int16_t length = ReadInt16();
        if (length < 0)
            throw ModelError(QStringLiteral("a text record at byte %1 has a negative length").arg(at));
        if (m_data.size() - m_pos < length)
            throw ModelError(QStringLiteral("a text record at byte %1 runs past the end of the file").arg(at));
        return Cell(FromAnsi(ReadBytes(length)));
    }
    default:
        throw ModelError(QStringLiteral("unknown record type %1 at byte %2").arg(code).arg(at));
    }
}

void BinaryReader::ExpectEnd() const
{
    if (!AtEnd())
        throw ModelError(QStringLiteral("%1 bytes follow the last record").arg(m_data.size() - m_pos));
}

void BinaryWriter::WriteInt16(std::int16_t v)
{
    char b[2];
    qToLittleEndian(v, b);
    m_data.append(b, 2);
}

void BinaryWriter::WriteInt32(std::int32_t v)
{
    char b[4];
    qToLittleEndian(v, b);
    m_data.append(b, 4);
}

void BinaryWriter::WriteSingle(float v)
{
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    char b[4];
    qToLittleEndian(bits, b);
    m_data.append(b, 4);
}

void BinaryWriter::WriteDouble(double v)
{
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    char b[8];
    qToLittleEndian(bits, b);
    m_data.append(b, 8);
}

void BinaryWriter::WriteCell(const Cell& cell)
{
    switch (cell.GetKind()) {
    case Cell::Kind::Empty:
        WriteInt16(CellCodeEmpty);
        break;
    case Cell::Kind::Int16:
        WriteInt16(CellCodeInt16);
        WriteInt16(cell.Int16Value());
        break;
    case Cell::Kind::Int32:
        WriteInt16(CellCodeInt32);
        WriteInt32(cell.Int32Value());
        break;
    case Cell::Kind::Single:
        WriteInt16(CellCodeSingle);
        WriteSingle(cell.SingleValue());
        break;
    case Cell::Kind::Double:
        WriteInt16(CellCodeDouble);
        WriteDouble(cell.DoubleValue());
        break;
    case Cell::Kind::Bool:
        WriteInt16(CellCodeBool);
        WriteInt16(cell.BoolValue() ? std::int16_t(-1) : std::int16_t(0));
        break;
    case Cell::Kind::Text: {
        const QByteArray bytes = ToAnsi(cell.TextValue());
        if (bytes.size() > 32767)
            throw ModelError(QStringLiteral("a text of %1 bytes is too long for a record").arg(bytes.size()));
        WriteInt16(CellCodeText);
        WriteInt16(static_cast<std::int16_t>(bytes.size()));
        m_data.append(bytes);
        break;
    }
    }
}

} // namespace ardela
