#pragma once
// The sennet-data commands for an agency's server: "server init URL",
// "server upgrade URL" and "copy --from A --to B [--replace]", where A and
// B are each a data folder or a server (a libpq URI or key=value string).
#include <QStringList>
#include <QTextStream>

namespace SennetData {

// Whether the command line (without the program's name) names one of them.
bool isServerCommand(const QStringList& args);
// Runs it; the exit status as for the other commands (0 done, 1 failed or
// refused, 2 the command line was wrong).
int serverCommand(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace SennetData
