// Model tables, counts and settings as the analysis files store them: cell records column by
// column, counts as 16-bit integers within 0..1024, then the 14 settings.
#pragma once

#include <cstdint>

#include "desktop/CellIO.h"
#include "desktop/Error.h"
#include "desktop/Settings.h"
#include "desktop/Table.h"

namespace ardela {

// The least size of a file holding `counts` counts, then the given tables and the settings,
// every record empty (a type code alone).
template <int... Columns>
constexpr qsizetype LeastFileSize(int counts, const Table<Columns>&...)
{
    return qsizetype(2) * counts + qsizetype(2) * ((Table<Columns>::kCells + ...) + qsizetype(kSettingCount));
}

template <int Columns>
void ReadTable(BinaryReader& in, Table<Columns>& table)
{
    for (int i = 0; i < Table<Columns>::kCells; ++i)
        table.Raw(i) = in.ReadCell();
}

template <int Columns>
void WriteTable(BinaryWriter& out, const Table<Columns>& table)
{
    for (int i = 0; i < Table<Columns>::kCells; ++i)
        out.WriteCell(table.Raw(i));
}

// A table count; one outside 0..1024 makes the file invalid (`name` says which count).
inline std::int16_t ReadCount(BinaryReader& in, const char* name)
{
    const std::int16_t count = in.ReadInt16();
    if (count < 0 || count > kTableRows)
        throw ModelError(QStringLiteral("%1 %2 is outside 0..%3").arg(QLatin1String(name)).arg(count).arg(kTableRows));
    return count;
}

inline void ReadSettings(BinaryReader& in, SettingsArray& settings)
{
    for (Cell& value : settings)
        value = in.ReadCell();
}

inline void WriteSettings(BinaryWriter& out, const SettingsArray& settings)
{
    for (const Cell& value : settings)
        out.WriteCell(value);
}

} // namespace ardela
