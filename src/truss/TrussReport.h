// WriteReport: the fixed-width text report of a solved truss, beside its analysis file.
#pragma once

#include <QString>

namespace ardela {

struct TrussModel;

// The report's lines, joined by CR LF (the last line ends with CR LF too). Throws ModelError
// when a cell cannot be formatted.
QString ReportText(const TrussModel& model);
// The report's path for an analysis file: its folder, the title up to its last "." and ".prn".
// Throws ModelError when the title has no ".".
QString ReportPath(const QString& analysisPath, const QString& analysisTitle);

// Writes the report beside the analysis file. False at once when the model has no file; false
// after the fixed report message when the report cannot be built or written (an earlier
// report of the same name then stays as it was).
bool WriteReport(const TrussModel& model);
bool WriteReport();

QString ReportFailureMessage();

} // namespace ardela
