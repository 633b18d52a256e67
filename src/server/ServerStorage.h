#pragma once
// The agency's PostgreSQL server as the program's storage: every citation,
// user, log line and shared setting in the tables of ServerSchema, reached
// through one libpq connection. Each user action is one statement or one
// transaction; a connection lost in the middle of one fails that action,
// and the next one connects again.
#include "server/PgConnection.h"
#include "storage/Storage.h"

#include <memory>

// Connects to `url` (a libpq URI or key=value string) with `password` when
// not empty (else libpq's ~/.pgpass or PGPASSWORD), and checks that the
// database holds the current Sennet tables. Null with `error` set, naming
// the server, the database and the reason, when it cannot be used; then
// `passwordWanted`, when given, tells whether the server asked for a
// password that was not given (so the program can ask for one and try again).
std::unique_ptr<Storage> OpenServerStorage(const QString& url, const QString& password, FileError& error,
                                           bool* passwordWanted = nullptr);

// Called once by a tool (sennet-data) before it opens a server: its
// connections are named as the tool's, so no desk counts them among the
// other desks working on the server.
void MarkServerConnectionsAsTool();

// How the server's connections are named in pg_stat_activity: each desk's
// main connection "Sennet desk <desk> <user>" once someone logs in (a blank
// in the desk's name becomes '_'), its listener "Sennet listener ...".
QByteArray ServerDeskName(const StoreActor& actor);
QByteArray ServerListenerName(const StoreActor& actor);
// "<desk> (<user>)" of a desk's connection name; empty for any other name.
QString ServerDeskOf(const QString& applicationName);

// Adds a change heard to the batch waiting to be told, one entry per key:
// a later change of the same citation takes the earlier one's place (an
// addition stays an addition, a deletion wins), and "many" stands alone
// for everything.
void MergeChange(QList<CitationChange>& batch, const CitationChange& change);

// Whether connecting to `url` needs a password that libpq was not given,
// so the program should ask for one.
bool ServerNeedsPassword(const QString& url);

// The statements a search runs on the server, each with its values, in the
// order it runs them (none when no stored text can hold the phrase): for
// looking at the server's plans with EXPLAIN. A phrase looked up in the list
// of words adds that look-up and the rows' statement after it, here with the
// phrase as its one word (the search runs one of the last two, not both).
struct ServerStatement {
    QByteArray sql;
    std::vector<PgValue> values;
    // What the statement runs under ("SET LOCAL ..."), in its transaction.
    std::vector<QByteArray> settings;
};
std::vector<ServerStatement> ServerSearchStatements(const SearchSettings& search);
