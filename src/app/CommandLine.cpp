#include "app/CommandLine.h"

#include "app/frmTitlePage.h"
#include "platform/ApplicationTitle.h"
#include "session/ProcessState.h"

namespace {

// Qt's own window-system options, which QApplication takes out of the
// command line itself. Those in the first list take a value.
const QStringList QtOptionsWithValue = {
    QStringLiteral("-platform"), QStringLiteral("-platformpluginpath"), QStringLiteral("-platformtheme"),
    QStringLiteral("-plugin"), QStringLiteral("-style"), QStringLiteral("-stylesheet"),
    QStringLiteral("-display"), QStringLiteral("-geometry"), QStringLiteral("-qwindowgeometry"),
    QStringLiteral("-qwindowtitle"), QStringLiteral("-qwindowicon"), QStringLiteral("-session"),
    QStringLiteral("-name"), QStringLiteral("-title"),
};
const QStringList QtOptionsAlone = {
    QStringLiteral("-reverse"), QStringLiteral("-widgetcount"), QStringLiteral("-nograb"),
    QStringLiteral("-dograb"), QStringLiteral("-sync"),
};

const QString DataFolderOption = QStringLiteral("--data-folder");
const QString ServerOption = QStringLiteral("--server");
const QString DeskOption = QStringLiteral("--desk");
// A desk's name is stored beside each change on a server: one line, short.
constexpr int DeskNameLimit = 63;

} // namespace

CommandLine ParseCommandLine(const QStringList& arguments)
{
    CommandLine result;
    bool help = false;
    bool version = false;
    auto refuse = [&result](const QString& why) {
        result.action = CommandLine::Action::Refuse;
        result.error = why;
        return result;
    };

    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            help = true;
        } else if (arg == QLatin1String("--version")) {
            version = true;
        } else if (arg == QLatin1String("--from-menu")) {
            result.fromMenu = true;
        } else if (arg == DataFolderOption || arg.startsWith(DataFolderOption + u'=')) {
            QString value;
            if (arg == DataFolderOption) {
                if (i + 1 >= arguments.size())
                    return refuse(QStringLiteral("option --data-folder needs a folder"));
                value = arguments.at(++i);
            } else {
                value = arg.mid(DataFolderOption.size() + 1);
            }
            if (value.isEmpty())
                return refuse(QStringLiteral("option --data-folder needs a folder"));
            result.dataFolder = value;
            result.dataFolderArgument = i;
        } else if (arg == ServerOption || arg.startsWith(ServerOption + u'=')) {
            QString value;
            if (arg == ServerOption) {
                if (i + 1 >= arguments.size())
                    return refuse(QStringLiteral("option --server needs the server's URL"));
                value = arguments.at(++i);
            } else {
                value = arg.mid(ServerOption.size() + 1);
            }
            if (value.trimmed().isEmpty())
                return refuse(QStringLiteral("option --server needs the server's URL"));
            result.server = value;
        } else if (arg == DeskOption || arg.startsWith(DeskOption + u'=')) {
            QString value;
            if (arg == DeskOption) {
                if (i + 1 >= arguments.size())
                    return refuse(QStringLiteral("option --desk needs a name"));
                value = arguments.at(++i);
            } else {
                value = arg.mid(DeskOption.size() + 1);
            }
            value = value.trimmed();
            if (value.isEmpty())
                return refuse(QStringLiteral("option --desk needs a name"));
            if (value.size() > DeskNameLimit || value.contains(u'\n') || value.contains(u'\r'))
                return refuse(QStringLiteral("option --desk takes one line of at most %1 characters").arg(DeskNameLimit));
            result.desk = value;
        } else if (QtOptionsWithValue.contains(arg)) {
            if (i + 1 >= arguments.size())
                return refuse(QStringLiteral("option %1 needs a value").arg(arg));
            ++i;
        } else if (QtOptionsAlone.contains(arg)) {
            // taken by QApplication
        } else if (arg.startsWith(u'-')) {
            return refuse(QStringLiteral("unknown option %1").arg(arg));
        } else {
            return refuse(QStringLiteral("unexpected argument %1").arg(arg));
        }
    }
    // The data live in one place: a folder or a server.
    if (!result.server.isEmpty() && result.dataFolderArgument >= 0)
        return refuse(QStringLiteral("options --server and --data-folder cannot be used together"));
    // Asking for help or the version wins over starting, whatever else is given.
    if (help)
        result.action = CommandLine::Action::Help;
    else if (version)
        result.action = CommandLine::Action::Version;
    return result;
}

QString UsageLine()
{
    return QStringLiteral("Usage: sennet [--help] [--version] [--data-folder PATH | --server URL [--desk NAME]]");
}

QString HelpText()
{
    const QString t = ApplicationTitle();
    return UsageLine() + u'\n'
        + t + QStringLiteral(" - ") + ApplicationDescription() + QStringLiteral(".\n\n")
        + QStringLiteral(
              "Options:\n"
              "  -h, --help            show this help and end\n"
              "  --version             show the version and end\n"
              "  --data-folder PATH    keep the data files in PATH (created when missing)\n"
              "  --server URL          work on an agency's PostgreSQL server instead of a data\n"
              "                        folder; URL is a libpq URI or key=value string, such as\n"
              "                        postgresql://clerk@db.example/sennet?sslmode=verify-full\n"
              "  --desk NAME           the name of this desk (default: the computer's host name),\n"
              "                        recorded with each change, log-in and audit entry; on a\n"
              "                        server each desk runs one copy, and one user may work at\n"
              "                        two desks\n"
              "  --from-menu           started from the desktop menu: use the user's data folder\n"
              "\n"
              "The data folder is, in this order: the folder given with --data-folder;\n"
              "$SENNET_DATA when set; ~/.local/share/Sennet when started from the desktop menu\n"
              "($XDG_DATA_HOME/Sennet when that is set); otherwise the current folder.\n"
              "Without --server or --data-folder, a server named in the settings file\n"
              "(~/.config/Sennet/Sennet.ini, section [Server], key Url) is used. The\n"
              "server's password comes from ~/.pgpass or PGPASSWORD, else Sennet asks.\n"
              "\n"
              "Exit status: 0 normally, 1 when the data folder cannot be created or used\n"
              "or the server cannot be reached, 2 when the command line is wrong.\n");
}

QString VersionLine()
{
    return ApplicationTitle() + u' ' + frmTitlePage::VersionText(VersionMajor, VersionMinor, VersionRevision);
}
