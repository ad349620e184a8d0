// Options kept in the per-user store beside the 14 shared settings: keys of their own that no
// analysis file carries, read with their default when the store does not hold them.
#pragma once

#include <QString>

namespace ardela {

// The value of `key` in the "Options" section of the store, or `fallback` when it is missing.
QString ReadExtraSetting(const QString& key, const QString& fallback);
// Writes `value` under `key` in the "Options" section of the store.
void WriteExtraSetting(const QString& key, const QString& value);

} // namespace ardela
