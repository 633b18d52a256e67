#pragma once
// sennet-data audit verify | dump | export-csv: the audit trail of a data
// folder, read without changing a byte of it, or of a server (--server URL).
#include <QStringList>
#include <QTextStream>
#include <optional>

namespace SennetData {

// Runs an "audit" command line (the arguments after the program's name);
// no value when the command is not "audit". The exit status is 0 clean or
// done, 1 a problem found or a failure, 2 a wrong command line.
std::optional<int> runAuditCommand(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace SennetData
