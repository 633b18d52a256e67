#pragma once
// The command line, read before anything else runs (no window, no lock, no
// display needed), so that --help and --version work on a bare terminal.
#include <QString>
#include <QStringList>

struct CommandLine {
    enum class Action {
        Run, // start the program
        Help, // print HelpText() and end with status 0
        Version, // print VersionLine() and end with status 0
        Refuse, // print `error` and UsageLine() on stderr, end with status 2
    };
    Action action = Action::Run;
    // --data-folder PATH; empty when not given.
    QString dataFolder;
    // Which argument holds it (an index into the arguments read), so that
    // its bytes as the system gave them can be looked at; -1 when not given.
    qsizetype dataFolderArgument = -1;
    // --server URL: work on an agency's server (a libpq connection URI or
    // key=value string) instead of a data folder; empty when not given.
    QString server;
    // --desk NAME: the name this desk goes by in the audit trail, the user
    // log and a server's rows; empty when not given (the host name then).
    // On a server each desk runs one copy, so two copies on one computer
    // with two names are two desks.
    QString desk;
    // --from-menu: the desktop entry starts the program with it, because a
    // menu start happens in whatever folder the desktop chose (mostly the
    // home folder), which is no place for the data files.
    bool fromMenu = false;
    // Why the command line was refused.
    QString error;
};

// Reads the arguments after the program name. Besides its own options the
// program lets through the window-system options Qt itself takes
// (-platform NAME, -style NAME, -reverse, ...); anything else is refused.
CommandLine ParseCommandLine(const QStringList& arguments);

// The one-line usage shown when the command line is refused.
QString UsageLine();
// The text of --help, ending in a line break.
QString HelpText();
// "Sennet Version w3.15.21": the program's name and the version as its
// title page shows it.
QString VersionLine();

// Exit statuses of the program.
enum ExitStatus {
    ExitOk = 0,
    ExitDataFolderUnusable = 1,
    ExitServerUnusable = 1,
    ExitUsage = 2,
};
