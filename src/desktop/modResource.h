// The program's string table (captions and step texts) and the loaders that apply it to a form.
#pragma once

#include <cstdint>
#include <optional>

#include <QString>

class QWidget;

namespace ardela {

// Which program's table is loaded: Korrin's English entries (ids below 10000, offset 0) or
// Vendel's Romanian entries (the same layout at id + 10000, offset 10000).
enum class StringTable { Korrin, Vendel };

// Makes `table` the program's string table; call once at start-up, before any caption is loaded.
void SelectStringTable(StringTable table);
StringTable CurrentStringTable();
// What is added to every Tag number: 0 in Korrin, 10000 in Vendel.
int LanguageOffset();

// One entry of the program's table (carriage return and line feed where the table has a line
// break); nullopt for an id the table lacks.
std::optional<QString> LoadResString(int id);

// The text that starts at entry `id`, following entries that end in "_" into the next id (the
// "_" dropped); `id` is left one past the last entry read. Throws ModelError for an id the table
// lacks or an id past 32767.
QString LoadLongResString(std::int16_t& id);

// Applies the table to `form` and every control on it, by their numeric "Tag" and
// "ToolTipText" dynamic properties (see modResource.cpp for the control kinds).
void LoadResStrings(QWidget* form);

} // namespace ardela
