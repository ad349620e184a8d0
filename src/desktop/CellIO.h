// Cell records in the analysis files: a 2-byte type code, then the value, little-endian.
#pragma once

#include <cstdint>

#include <QByteArray>

#include "desktop/Cell.h"

namespace ardela {

// Reads a byte image front to back; running past its end or meeting a record it cannot read
// throws ModelError naming the offset.
class BinaryReader {
public:
    explicit BinaryReader(const QByteArray& data) : m_data(data) {}

    std::int16_t ReadInt16();
    std::int32_t ReadInt32();
    float ReadSingle();
    double ReadDouble();
    QByteArray ReadBytes(qsizetype count);
    Cell ReadCell();

    // The least size the layout being read can have (every record empty); a file that ends
    // before it says "ends at byte N of M". 0 when unknown.
    void SetLeastSize(qsizetype bytes) { m_leastSize = bytes; }

    qsizetype Position() const { return m_pos; }
    bool AtEnd() const { return m_pos == m_data.size(); }
    // Throws unless every byte has been read.
    void ExpectEnd() const;

private:
    const char* Take(qsizetype count);

    const QByteArray& m_data;
    qsizetype m_pos = 0;
    qsizetype m_leastSize = 0;
};

// Appends little-endian values and cell records to a byte image.
class BinaryWriter {
public:
    void WriteInt16(std::int16_t v);
    void WriteInt32(std::int32_t v);
    void WriteSingle(float v);
    void WriteDouble(double v);
    // Throws ModelError when a text is longer than a record can hold (32767 bytes).
    void WriteCell(const Cell& cell);

    const QByteArray& Data() const { return m_data; }

private:
    QByteArray m_data;
};

// The record type codes.
enum CellTypeCode : std::int16_t {
    CellCodeEmpty = 0,
    CellCodeInt16 = 2,
    CellCodeInt32 = 3,
    CellCodeSingle = 4,
    CellCodeDouble = 5,
    CellCodeText = 8,
    CellCodeBool = 11,
};

} // namespace ardela
