// The server store against a real PostgreSQL started for the run: the
// schema and its refusals, records and hostile texts going to the server and
// back byte for byte, the search giving the folder's rows, sennet-data copy,
// and a server stopped in the middle of work.
#include "DataFiles.h"
#include "PgCluster.h"
#include "UserFiles.h"
#include "server/PgConnection.h"
#include "server/ServerSchema.h"
#include "server/ServerStorage.h"
#include "storage/AuditEvents.h"
#include "storage/AuditStore.h"
#include "store/AnsiText.h"
#include "store/CitationRows.h"
#include "store/SearchMatch.h"
#include "store/SearchSettings.h"
#include "workspace/Validation.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <cmath>
#include <limits>
#include <thread>

namespace {

struct Run {
    int status;
    QString out, err;
};

Run sennetData(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(SENNET_DATA_EXE), args);
    p.waitForFinished(300000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// Texts a clerk types and a damaged file holds, for the generated set.
const QList<QByteArray>& textPool()
{
    static const QList<QByteArray> pool = {
        "M\xDCLLER, JOS\xC9 \xD1", "m\xFCller", "O'Brien", "Rt 1 NB", "concat cat", "a.b*(c)[d]\\e$^", "100%_off",
        "\xB5g/l", "'); DROP TABLE citations; --", "", "\xC6r\xF8sk\xF8""bing \x80 \x8A\x9A", "9:05pm on 2024/03",
        QByteArray(2057, 'W'), "Line one\r\nLine two", QByteArray("nul\0inside", 10), "\x81\x8D\x8F\x90\x9D",
        "  leading blanks"};
    return pool;
}

// One citation of the generated set, written from the test's own layout
// table: every text field from the pool (or full-width capitals), option
// groups and check boxes cycling through every value and some no window
// writes, dates valid, empty, finer than a microsecond and invalid.
QByteArray generatedCitation(int n)
{
    CitationBytes3000 c;
    const QList<double> oddDates = {std::nan(""), std::numeric_limits<double>::infinity(), -0.0, 1e10, -1.25,
                                    -700000.0, 45359.123456789012, 2958465.99999, 36526.5};
    int fieldNumber = 0;
    for (const RecordField& f : CitationBytes3000::layout()) {
        ++fieldNumber;
        if (f.type == 't') {
            const QByteArray& text = textPool()[(n * 7 + fieldNumber) % textPool().size()];
            c.text(f.name, (n + fieldNumber) % 11 == 0 ? QByteArray(f.width, 'Z') : text);
        } else if (f.type == 'i' && qstrcmp(f.name, "FormatVersion") != 0) {
            c.int16(f.name, qint16((n + fieldNumber) % 7 - 1)); // -1..5
        } else if (f.type == 'd') {
            if ((n + fieldNumber) % 5 == 0)
                c.date(f.name, 0.0);
            else if ((n + fieldNumber) % 13 == 0)
                c.date(f.name, oddDates[(n + fieldNumber) % oddDates.size()]);
            else
                c.date(f.name, QDate(2020, 1, 1).addDays(n * 3 % 1500), QTime(0, 0).addSecs(n * 997 % 86400));
        }
    }
    if (n % 9 == 0)
        c.int16("FormatVersion", 299);
    return c.bytes();
}

std::vector<CitationRecord> generatedSet(int count)
{
    std::vector<CitationRecord> out;
    for (int n = 0; n < count; ++n) {
        const QByteArray bytes = generatedCitation(n);
        out.push_back(CitationRecord::fromBytes(bytes.constData(), bytes.size()));
    }
    return out;
}

} // namespace

class tst_serverstore : public QObject {
    Q_OBJECT

    std::unique_ptr<PgCluster> m_cluster;

    std::unique_ptr<Storage> newStorage(QString* url = nullptr)
    {
        QString problem;
        auto storage = makeServerStorage(*m_cluster, url, &problem);
        if (!storage)
            qWarning("%s", qPrintable(problem));
        return storage;
    }

private slots:
    void initTestCase()
    {
        m_cluster = std::make_unique<PgCluster>();
        if (!m_cluster->available())
            QSKIP(qPrintable(m_cluster->problem()));
    }

    void schemaIsMadeOnceAndOtherDatabasesAreRefused()
    {
        // A fresh database through the tool: init, init again, upgrade.
        const QString url = m_cluster->createDatabase();
        FileError error;
        QVERIFY(!OpenServerStorage(url, QString(), error));
        QVERIFY2(error.message().contains(QLatin1String("sennet-data server init")), qPrintable(error.message()));
        Run r = sennetData({QStringLiteral("server"), QStringLiteral("init"), url});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.contains(QStringLiteral("schema version %1").arg(ServerSchema::CurrentVersion)));
        r = sennetData({QStringLiteral("server"), QStringLiteral("init"), url});
        QCOMPARE(r.status, 1);
        QVERIFY(r.err.contains(QLatin1String("already holds Sennet's tables")));
        r = sennetData({QStringLiteral("server"), QStringLiteral("upgrade"), url});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.contains(QLatin1String("nothing to upgrade")));
        QVERIFY(OpenServerStorage(url, QString(), error));

        // A database of something else is left alone by both.
        const QString other = m_cluster->createDatabase();
        PgConnection pg;
        QString reason;
        QVERIFY2(pg.open(other, QString(), reason), qPrintable(reason));
        QVERIFY(pg.exec("CREATE TABLE invoices (id int)", reason));
        for (const char* action : {"init", "upgrade"}) {
            r = sennetData({QStringLiteral("server"), QLatin1String(action), other});
            QCOMPARE(r.status, 1);
            QVERIFY2(r.err.contains(QLatin1String("other tables (invoices)")), qPrintable(r.err));
        }
        PgResult tables;
        QVERIFY(pg.exec("SELECT count(*) FROM pg_tables WHERE schemaname = 'public'", {}, tables, reason));
        QCOMPARE(tables.int8(0, 0), qint64(1));

        // Tables of version 2 (without the list's and the raw texts'
        // indexes, and without the words of all fields) holding
        // citations are brought up to date, and are refused until then.
        const std::vector<CitationRecord> set = generatedSet(30);
        {
            auto storage = OpenServerStorage(url, QString(), error);
            CitationKey first = 0;
            QVERIFY(storage && storage->citations().addAll(set, first, error));
        }
        PgConnection sennet;
        QVERIFY(sennet.open(url, QString(), reason));
        QVERIFY(sennet.exec("DROP INDEX citations_list, citations_raw_texts", reason));
        QVERIFY(sennet.exec("DROP FUNCTION sennet_citations_told, sennet_words_kept CASCADE", reason));
        QVERIFY(sennet.exec("DROP TABLE citation_words", reason));
        QVERIFY(sennet.exec("ALTER TABLE citations DROP COLUMN search_words", reason));
        QVERIFY(sennet.exec("DROP FUNCTION sennet_words, sennet_fold", reason));
        QVERIFY(sennet.exec("DELETE FROM schema_version WHERE version > 2", reason));
        QVERIFY(!OpenServerStorage(url, QString(), error));
        QVERIFY(error.message().contains(QLatin1String("sennet-data server upgrade")));
        r = sennetData({QStringLiteral("server"), QStringLiteral("upgrade"), url});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains(QStringLiteral("from schema version 2 to %1").arg(ServerSchema::CurrentVersion)),
                 qPrintable(r.out));
        QVERIFY(sennet.exec("SELECT count(*) FROM pg_indexes WHERE indexname IN ('citations_list', "
                            "'citations_raw_texts', 'citations_search_words')",
                            {}, tables, reason));
        QCOMPARE(tables.int8(0, 0), qint64(3));
        {
            // The citations already there are found through the new column.
            auto storage = OpenServerStorage(url, QString(), error);
            QVERIFY(storage);
            const SearchSettings search{QStringLiteral("m\u00FCller"), 1, 1, 0};
            int expected = 0;
            for (const CitationRecord& c : set)
                expected += MatchesSearch(SearchedText(c.bytes().constData(), 1), search.phrase, true, false);
            QVERIFY(expected > 0);
            QCOMPARE(storage->citations().listRows(&search, error).size(), expected);
        }

        // Tables of a later version are not touched by this program.
        QVERIFY(sennet.exec("UPDATE schema_version SET version = 99", reason));
        QVERIFY(!OpenServerStorage(url, QString(), error));
        QVERIFY(error.message().contains(QLatin1String("newer than this program")));
        QCOMPARE(sennetData({QStringLiteral("server"), QStringLiteral("upgrade"), url}).status, 1);

        // An unreachable server is named with libpq's reason.
        QVERIFY(!OpenServerStorage(QStringLiteral("host=/nonexistent dbname=agency"), QString(), error));
        QVERIFY2(error.message().startsWith(QLatin1String("The server \"/nonexistent\", database \"agency\" could "
                                                          "not be reached: ")),
                 qPrintable(error.message()));
    }

    void recordsComeBackByteForByte()
    {
        QString url;
        auto storage = newStorage(&url);
        QVERIFY(storage);
        CitationStore& citations = storage->citations();
        // More than one statement of the bulk add's rows.
        const std::vector<CitationRecord> set = generatedSet(5003);
        FileError error;
        CitationKey first = 0;
        QVERIFY2(citations.addAll(set, first, error), qPrintable(error.message()));
        int n = 0;
        QVERIFY(citations.forEach(
            [&](CitationKey key, const char* record) {
                if (QByteArray(record, CitationLayout::RecordLength) != set[size_t(n)].bytes())
                    qWarning("citation %d (key %d) came back changed", n, key);
                return QByteArray(record, CitationLayout::RecordLength) == set[size_t(n++)].bytes();
            },
            error));
        QCOMPARE(n, int(set.size()));
        CitationRecord one;
        QVERIFY(citations.read(first + 9, one, error));
        QCOMPARE(one.bytes(), set[9].bytes());
        QCOMPARE(citations.count(error), int(set.size()));

        // Plain values sit in typed columns; only what they cannot hold is raw.
        const QByteArray plain = CitationBytes3000::sample("B-1", QDate(2024, 3, 7)).bytes();
        CitationKey key = 0;
        QVERIFY(citations.add(CitationRecord::fromBytes(plain.constData(), plain.size()), key, error));
        PgConnection pg;
        QString reason;
        QVERIFY(pg.open(url, QString(), reason));
        PgResult r;
        QVERIFY(pg.exec("SELECT citation_number, offense_date::text, offense_date_raw IS NULL, state_or_local, "
                        "(SELECT count(*) FROM citations WHERE ncic_number_raw IS NOT NULL) FROM citations "
                        "WHERE id = $1",
                        {PgValue::int4(key)}, r, reason));
        QCOMPARE(r.text(0, 0), QStringLiteral("B-1"));
        QCOMPARE(r.text(0, 1), QStringLiteral("2024-03-07 00:00:00"));
        QVERIFY(r.boolean(0, 2));
        QVERIFY(r.int8(0, 4) > 0 && r.int8(0, 4) < qint64(set.size())); // the NUL texts only

        // Users and the log, with a last line left without its CR LF.
        StoreContents contents;
        contents.citations = set;
        contents.users << UserRecord::fromBytes(UserBytes500::user("J\xC9R\xD4ME", "O'Brien", "x", 4).bytes(), 500)
                       << UserRecord::fromBytes(UserBytes500().level(9).created(std::nan("")).bytes(), 500);
        const QByteArray tail("03/07/2024 at 14:05:09 - Jane Doe logged in.\r\nodd\nline\0\x81\r\ncut", 61);
        for (int i = 0; i < 5003; ++i)
            contents.userLog += "03/06/2024 at 09:00:00 - Clerk " + QByteArray::number(i) + " logged out.\r\n";
        contents.userLog += tail;
        QVERIFY2(storage->replaceContents(contents, error), qPrintable(error.message()));
        StoreContents back;
        QVERIFY(storage->readContents(back, error));
        QVERIFY(back.citations == contents.citations);
        QCOMPARE(back.users, contents.users);
        QCOMPARE(back.userLog, contents.userLog);
        QByteArray latest;
        bool partial = false;
        QVERIFY(storage->userLog().readLatest(2, 1000, latest, partial, error));
        QVERIFY(partial);
        QCOMPARE(latest, tail.mid(46));
    }

    void hostileTextComesBackOrIsRefused()
    {
        auto storage = newStorage();
        QVERIFY(storage);
        const QList<QString> hostile = {
            QStringLiteral("O'Brien \"Bud\""), QStringLiteral("C:\\temp\\ \\x00 \\\\"), QStringLiteral("a; b; c;"),
            QStringLiteral("'); DROP TABLE citations; --"), QString(QChar(0)) + QStringLiteral("after NUL"),
            QStringLiteral("\u00C9\u00E8\u20AC\u0160\u0178"), QStringLiteral("$1 $$ %s %n ? :name"),
            QString(10240, u'x') + QStringLiteral("END"), QStringLiteral("\u041C\u043E\u0441\u043A\u0432\u0430"),
            QStringLiteral("\U0001F600 smile"), QStringLiteral("\u2603")};
        for (const QString& text : hostile) {
            if (!Ansi::canEncode(text)) {
                // The editor refuses it before anything is stored.
                EditorValues values;
                values.text[1] = text;
                const ValidationResult result = ValidateCitationValues(values);
                QVERIFY(!result.messages.isEmpty());
                QCOMPARE(result.messages.first().caption, ValidationText::UnstorableCaption);
                continue;
            }
            CitationRecord record;
            for (const FieldSpec& f : CitationLayout::fields())
                if (f.type == FieldType::Text)
                    QVERIFY(record.setText(f.id, text));
            FileError error;
            CitationKey key = 0;
            QVERIFY2(storage->citations().add(record, key, error), qPrintable(error.message()));
            CitationRecord back;
            QVERIFY(storage->citations().read(key, back, error));
            QCOMPARE(back.bytes(), record.bytes());
            QCOMPARE(back.text(CitationField::Notes), Ansi::trimSpaces(text.left(2057)));

            UserRecord user;
            user.setFirstName(text);
            user.setLastName(text);
            user.setComments(text);
            UserKey userKey = 0;
            QVERIFY2(storage->users().add(user, userKey, error), qPrintable(error.message()));
            QList<StoredUser> users;
            QVERIFY(storage->users().list(users, error));
            QCOMPARE(users.last().record, user);
            QVERIFY(storage->userLog().append(text.left(200), error));
        }
        FileError error;
        QCOMPARE(storage->citations().count(error), 8);
        QByteArray log;
        QVERIFY(storage->userLog().readAll(log, error));
        QCOMPARE(log.count("\r\n"), 8);
    }

    void searchFindsWhatTheFolderFinds_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::newRow("US") << QStringLiteral("en_US");
        QTest::newRow("GB") << QStringLiteral("en_GB");
        QTest::newRow("DE") << QStringLiteral("de_DE");
    }

    void searchFindsWhatTheFolderFinds()
    {
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        auto storage = newStorage();
        QVERIFY(storage);
        std::vector<CitationRecord> set = generatedSet(240);
        // Over a thousand words holding "qx", and "qx0005" also inside a
        // longer word: the words holding a phrase are looked up, or, when
        // there are too many, the texts are matched.
        for (int c = 0; c < 5; ++c) {
            QString notes;
            for (int w = c * 290; w < (c + 1) * 290 && c < 4; ++w)
                notes += QStringLiteral("QX%1 ").arg(w, 4, 10, QLatin1Char('0'));
            set.push_back(set[size_t(c)]);
            set.back().setText(CitationField::Notes, c < 4 ? notes.trimmed() : QStringLiteral("see zqx0005z"));
        }
        FileError error;
        CitationKey first = 0;
        QVERIFY(storage->citations().addAll(set, first, error));
        // Saved again, these rows move within the table; found, they still
        // come in key order.
        for (const int i : {3, 50, 120, 200})
            QVERIFY(storage->citations().save(first + i, set[size_t(i)], error));
        const QStringList phrases = {QStringLiteral("m\u00FCller"), QStringLiteral("M\u00DCLLER"),
                                     QStringLiteral("rt 1"), QStringLiteral("cat"), QStringLiteral("a.b*(c)[d]\\e$^"),
                                     QStringLiteral("%_"), QStringLiteral("\u03BCg"), QStringLiteral("2024/03"),
                                     QStringLiteral("9:05PM"), QStringLiteral("/2021"), QStringLiteral("nul"),
                                     QStringLiteral("DROP TABLE"), QStringLiteral("\u2603"), QStringLiteral("zzzz"),
                                     QStringLiteral("\u0161"), QStringLiteral("l") + QChar(0) + QStringLiteral("i"),
                                     QStringLiteral("ZZZZ"), QStringLiteral("oncat"), QStringLiteral("o'brien"),
                                     QStringLiteral("JOS\u00C9"), QStringLiteral("jos\u00E9"), QStringLiteral("qx"),
                                     QStringLiteral("qx0005"), QStringLiteral("QX1159")};
        int found = 0;
        for (const QString& phrase : phrases)
            for (int scope = 1; scope <= 8; ++scope)
                for (int flags = 0; flags < 4; ++flags) {
                    const SearchSettings search{phrase, qint16(scope), qint16(flags & 1), qint16(flags >> 1)};
                    QList<CitationRow> expected;
                    for (size_t i = 0; i < set.size(); ++i)
                        if (MatchesSearch(SearchedText(set[i].bytes().constData(), scope), phrase, flags & 1,
                                          flags >> 1))
                            expected << CitationRowOf(set[i].bytes().constData(), first + int(i), true);
                    const CitationRows rows = storage->citations().listRows(&search, error);
                    QVERIFY2(!error.isError(), qPrintable(error.message()));
                    QList<CitationRow> got;
                    for (int r = 0; r < rows.size(); ++r)
                        got << rows.decoded(r);
                    if (got != expected)
                        QFAIL(qPrintable(QStringLiteral("\"%1\" in scope %2, flags %3: %4 rows, the folder's way %5")
                                             .arg(phrase)
                                             .arg(scope)
                                             .arg(flags)
                                             .arg(got.size())
                                             .arg(expected.size())));
                    found += int(got.size());
                }
        QVERIFY(found > 1000);
        // The whole list, in key order, without the time in its keys.
        const CitationRows all = storage->citations().listRows(nullptr, error);
        QCOMPARE(all.size(), 245);
        QCOMPARE(all.decoded(17), CitationRowOf(set[17].bytes().constData(), first + 17, false));
        QLocale::setDefault(QLocale::c());
    }

    void searchesTakeTheIndexes()
    {
        QString url;
        auto storage = newStorage(&url);
        QVERIFY(storage);
        FileError error;
        CitationKey first = 0;
        QVERIFY(storage->citations().addAll(generatedSet(60), first, error));
        PgConnection pg;
        QString reason;
        QVERIFY(pg.open(url, QString(), reason));
        // So few rows would be read whole, through the table or an index in
        // key order; with both barred, a statement that cannot narrow its
        // rows down by its indexes still reads the table.
        QVERIFY(pg.exec("ANALYZE citations", reason));
        for (const char* setting : {"SET enable_seqscan TO off", "SET enable_indexscan TO off",
                                    "SET enable_indexonlyscan TO off"})
            QVERIFY(pg.exec(setting, reason));
        const struct {
            QString phrase;
            qint16 scope, wholeWord;
            int statements;
        } cases[] = {{QStringLiteral("RADAR Stopped"), 1, 0, 1}, {QStringLiteral("Hanover"), 1, 0, 4},
                     {QStringLiteral("cat"), 1, 1, 2}, {QStringLiteral("m\u00FCller"), 3, 0, 2},
                     {QStringLiteral("O'Brien 9:05"), 2, 0, 1}, {QStringLiteral("\u2603"), 1, 0, 0}};
        for (const auto& c : cases) {
            const std::vector<ServerStatement> statements =
                ServerSearchStatements(SearchSettings{c.phrase, c.scope, 1, c.wholeWord});
            QCOMPARE(int(statements.size()), c.statements);
            for (const ServerStatement& statement : statements) {
                PgResult r;
                QVERIFY2(pg.exec("EXPLAIN " + statement.sql, statement.values, r, reason), qPrintable(reason));
                QString plan;
                for (int i = 0; i < r.rows(); ++i)
                    plan += r.text(i, 0) + u'\n';
                QVERIFY2(!plan.contains(QLatin1String("Seq Scan")), qPrintable(c.phrase + u'\n' + plan));
                QVERIFY2(plan.contains(QLatin1String(" on citations_search_"))
                             || plan.contains(QLatin1String(" on citations_raw_texts"))
                             || plan.contains(QLatin1String(" on citation_words_trigrams")),
                         qPrintable(c.phrase + u'\n' + plan));
            }
        }
    }

    // Rows asked for ahead of the ones taken: every row comes once and in
    // order, taking can stop early, and a run failing part way (here a
    // division by zero at one row) gives its reason and leaves the
    // connection usable.
    void rowsAskedForAheadComeOnceAndInOrder()
    {
        PgConnection pg;
        QString reason;
        QVERIFY2(pg.open(m_cluster->createDatabase(), QString(), reason), qPrintable(reason));
        struct Case {
            const char* select;
            int stopAfter; // batches taken before take() says no more; 0: all
            int expected;  // rows taken
            bool fails;
        };
        const Case cases[] = {{"SELECT n FROM generate_series(1, 2345) n", 0, 2345, false},
                              {"SELECT n FROM generate_series(1, 2345) n", 2, 200, false},
                              {"SELECT n FROM generate_series(1, 0) n", 0, 0, false},
                              {"SELECT 1000 / (n - 777) + n - 1000 / (n - 777) FROM generate_series(1, 2345) n", 0, 700, true}};
        for (const Case& c : cases) {
            QVERIFY(pg.exec("BEGIN", reason));
            QVERIFY2(pg.exec(QByteArray("DECLARE rows NO SCROLL CURSOR FOR ") + c.select, reason), qPrintable(reason));
            int taken = 0, batches = 0;
            bool inOrder = true;
            const bool ran = pg.execAhead("FETCH FORWARD 100 FROM rows", 2, [&](const PgResult& r) {
                for (int i = 0; i < r.rows(); ++i)
                    inOrder = inOrder && r.int4(i, 0) == ++taken;
                return ++batches != c.stopAfter;
            }, reason);
            QCOMPARE(ran, !c.fails);
            if (c.fails)
                QVERIFY2(reason.contains(QLatin1String("division by zero")), qPrintable(reason));
            QVERIFY(inOrder);
            QCOMPARE(taken, c.expected);
            QVERIFY(pg.ready(reason));
            QVERIFY2(pg.exec(c.fails ? "ROLLBACK" : "COMMIT", reason), qPrintable(reason));
            PgResult one;
            QVERIFY2(pg.exec("SELECT 1", {}, one, reason), qPrintable(reason));
        }
    }

    void keysNumbersUsersAndTheAccessCode()
    {
        QString url;
        auto storage = newStorage(&url);
        QVERIFY(storage);
        CitationStore& c = storage->citations();
        QVERIFY(!c.keysShiftOnDelete());
        FileError error;
        CitationKey a = 0, b = 0, d = 0;
        QVERIFY(c.add(CitationRecord::fromBytes(CitationBytes3000::sample("x-1", QDate(2024, 1, 2)).bytes(), 3000), a,
                      error));
        QVERIFY(c.add(CitationRecord::fromBytes(CitationBytes3000::sample(" X-1 ", QDate(2024, 1, 3)).bytes(), 3000),
                      b, error));
        QVERIFY(c.add(CitationRecord::fromBytes(CitationBytes3000::sample("X-2", QDate(2024, 1, 4)).bytes(), 3000), d,
                      error));
        QList<CitationKey> keys;
        QVERIFY(c.findNumber(QStringLiteral("  x-1"), 0, keys, error));
        QCOMPARE(keys, (QList<CitationKey>{a, b}));
        QVERIFY(c.findNumber(QStringLiteral("X-1"), a, keys, error));
        QCOMPARE(keys, QList<CitationKey>{b});
        // A deletion leaves the other keys as they were.
        QVERIFY(c.remove(a, error));
        QVERIFY(!c.remove(a, error));
        QVERIFY(error.message().startsWith(QLatin1String("The citation was not deleted (server ")));
        CitationRecord record;
        QVERIFY(c.read(d, record, error));
        QCOMPARE(record.text(CitationField::CitationNumber), QStringLiteral("X-2"));
        QVERIFY(!c.save(a, record, error));

        UserStore& users = storage->users();
        UserKey u1 = 0, u2 = 0;
        QVERIFY(users.add(UserRecord::fromBytes(UserBytes500::user("Ann", "Lee", "p", 4).bytes(), 500), u1, error));
        QVERIFY(users.add(UserRecord::fromBytes(UserBytes500::user("Bo", "Ng", "p", 1).bytes(), 500), u2, error));
        UserRecord changed = UserRecord::fromBytes(UserBytes500::user("Bo", "Ng", "p", 3).bytes(), 500);
        QVERIFY(users.save(u2, changed, error));
        QVERIFY(users.remove(u1, error));
        QList<StoredUser> list;
        QVERIFY(users.list(list, error));
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].key, u2);
        QCOMPARE(list[0].record.AccessLevel(), qint16(3));

        // One access code for every desk of the installation.
        const QString code = storage->shared().accessCode();
        QCOMPARE(code.size(), 6);
        auto otherDesk = OpenServerStorage(url, QString(), error);
        QVERIFY(otherDesk);
        QCOMPARE(otherDesk->shared().accessCode(), code);
    }

    void copyFolderToServerAndBackIsByteIdentical()
    {
        QString url;
        auto storage = newStorage(&url);
        QVERIFY(storage);
        QTemporaryDir from, back;
        QByteArray citations;
        for (int n = 1; n <= 120; ++n) // the first record decides the format: a current one
            citations += generatedCitation(n);
        WriteFile(from.filePath(QStringLiteral("Sennet.Data")), citations);
        WriteUsers(from.filePath(QStringLiteral("User.List")),
                   {UserBytes500::user("ADMIN", "\xC5NGSTR\xD6M", "pw", 4), UserBytes500::user("Clerk", "One", "x", 2)});
        WriteFile(from.filePath(QStringLiteral("User.Log")), "line one\r\nline two\r\n");

        Run r = sennetData({QStringLiteral("copy"), QStringLiteral("--from"), from.path(), QStringLiteral("--to"), url});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY(r.out.contains(QLatin1String("Copied 120 citations, 2 users and 2 log lines")));
        QVERIFY(r.out.contains(QLatin1String("compared field by field")));
        r = sennetData({QStringLiteral("copy"), QStringLiteral("--from=") + url, QStringLiteral("--to=") + back.path()});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        for (const char* name : {"Sennet.Data", "User.List", "User.Log"})
            QCOMPARE(ReadFile(back.filePath(QLatin1String(name))), ReadFile(from.filePath(QLatin1String(name))));

        // A server that holds citations is not overwritten unasked.
        WriteFile(back.filePath(QStringLiteral("Sennet.Data")), citations.left(3 * 3000));
        r = sennetData({QStringLiteral("copy"), QStringLiteral("--from"), back.path(), QStringLiteral("--to"), url});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QLatin1String("already holds 120 citations")), qPrintable(r.err));
        FileError error;
        QCOMPARE(storage->citations().count(error), 120);
        r = sennetData({QStringLiteral("copy"), QStringLiteral("--from"), back.path(), QStringLiteral("--to"), url,
                        QStringLiteral("--replace")});
        QCOMPARE(r.status, 0);
        QCOMPARE(storage->citations().count(error), 3);
    }

    void serverStoppedMidWorkLosesNothing()
    {
        QString url;
        auto storage = newStorage(&url);
        QVERIFY(storage);
        CitationStore& c = storage->citations();
        FileError error;
        CitationKey key = 0;
        const CitationRecord before = CitationRecord::fromBytes(CitationBytes3000::sample("K-1", QDate(2024, 5, 1)).bytes(), 3000);
        QVERIFY(c.add(before, key, error));

        // Stopped between two saves: the save says so, the next one connects again.
        QVERIFY(m_cluster->stopImmediately());
        CitationRecord edited = before;
        edited.setText(CitationField::Notes, QStringLiteral("edited"));
        QVERIFY(!c.save(key, edited, error));
        QVERIFY2(error.message().startsWith(QLatin1String("The citation was not saved (server ")), qPrintable(error.message()));
        QVERIFY(error.message().contains(url.section(QStringLiteral("dbname="), 1)));
        QVERIFY(m_cluster->start());
        error.clear();
        CitationRecord read;
        QVERIFY2(c.read(key, read, error), qPrintable(error.message()));
        QCOMPARE(read, before);
        error.clear();
        QVERIFY2(c.save(key, edited, error), qPrintable(error.message()));

        // Stopped in the middle of a long transaction: nothing of it stays.
        PgConnection watcher;
        QString reason;
        QVERIFY(watcher.open(m_cluster->url(QStringLiteral("postgres")), QString(), reason));
        const QString database = url.section(QStringLiteral("dbname="), 1);
        std::thread stopper([&] {
            PgResult r;
            for (int i = 0; i < 3000; ++i) {
                if (watcher.exec("SELECT count(*) FROM pg_stat_activity WHERE datname = $1 AND backend_xid IS NOT NULL",
                                 {PgValue::text(database)}, r, reason)
                    && r.int8(0, 0) > 0)
                    break;
                QThread::msleep(10);
            }
            QThread::msleep(100);
            m_cluster->stopImmediately();
        });
        CitationKey first = 0;
        const bool added = c.addAll(generatedSet(4000), first, error);
        stopper.join();
        QVERIFY(!added);
        QVERIFY2(error.message().startsWith(QLatin1String("The citations were not saved (server ")),
                 qPrintable(error.message()));
        QVERIFY(m_cluster->start());
        error.clear();
        QCOMPARE(c.count(error), 1);
        QVERIFY(c.read(key, read, error));
        QCOMPARE(read, edited);
        QVERIFY(c.add(before, key, error));
        QCOMPARE(c.count(error), 2);
    }

    // The audit trail on the server: an entry and the change it records are
    // one transaction (a change refused after its entry was written leaves
    // neither), the table takes no UPDATE, DELETE or TRUNCATE from anyone,
    // and sennet-data checks and reads it.
    void auditEntryAndChangeCommitTogether()
    {
        QString url;
        auto storage = newStorage(&url);
        QVERIFY(storage);
        AuditStore& audit = storage->audit();
        CitationStore& c = storage->citations();
        FileError error;
        auto entries = [&] {
            QList<AuditEntry> page;
            qint64 total = -1;
            FileError e;
            audit.read({}, 0, 100, page, total, e);
            return page;
        };
        auto stamped = [](AuditEntry e) {
            const AuditEntry now = makeAuditEntry(e.action, QStringLiteral("Jane Doe"), 4);
            e.time = now.time;
            e.user = now.user;
            e.level = now.level;
            e.desk = now.desk;
            return e;
        };

        // Added: the entry carries the key the row was given.
        CitationRecord record = CitationRecord::fromBytes(CitationBytes3000::sample("A-1", QDate(2024, 1, 2)).bytes(), 3000);
        AuditEntry added = stamped(AuditEvents::citationAdded(record, 0));
        QVERIFY(audit.append(added, error));
        QCOMPARE(entries().size(), 0); // waits for its change
        CitationKey key = 0;
        QVERIFY2(c.add(record, key, error), qPrintable(error.message()));
        QCOMPARE(entries().size(), 1);
        QCOMPARE(entries()[0].key, key);
        QCOMPARE(entries()[0].citation, QStringLiteral("A-1"));

        // A change the database refuses after the entry went in: neither stays.
        PgConnection admin;
        QString reason;
        QVERIFY(admin.open(url, QString(), reason));
        QVERIFY(admin.exec("ALTER TABLE citations ADD CONSTRAINT no_fail CHECK (citation_number <> 'FAIL')", reason));
        CitationRecord refused = record;
        refused.setText(CitationField::CitationNumber, QStringLiteral("FAIL"));
        AuditEntry edited = stamped(AuditEvents::citationEdited(record, refused, key));
        QVERIFY(audit.append(edited, error));
        QVERIFY(!c.save(key, refused, error));
        QVERIFY2(error.message().contains(QLatin1String("no_fail")), qPrintable(error.message()));
        QVERIFY(audit.withdraw(edited.number, error));
        QCOMPARE(entries().size(), 1);
        CitationRecord stored;
        QVERIFY(c.read(key, stored, error));
        QCOMPARE(stored, record);

        // Disclosures are written at once; the deletion with its change.
        AuditEntry printed = stamped(AuditEvents::citationPrinted(record, key, false));
        QVERIFY(audit.append(printed, error));
        QCOMPARE(printed.number, qint64(2));
        AuditEntry deleted = stamped(AuditEvents::citationDeleted(record, key));
        QVERIFY(audit.append(deleted, error));
        QVERIFY(c.remove(key, error));
        const QList<AuditEntry> all = entries();
        QCOMPARE(all.size(), 3);
        QCOMPARE(all[0].action, AuditAction::CitationDeleted); // newest first
        QCOMPARE(AuditEvents::citationFromDetails(all[0].details)->bytes(), record.bytes());
        // Filters in the server, as the folder's.
        QList<AuditEntry> page;
        qint64 total = 0;
        AuditFilter filter;
        filter.citation = QStringLiteral(" a-1 ");
        filter.action = AuditAction::CitationPrinted;
        QVERIFY(audit.read(filter, 0, 10, page, total, error));
        QCOMPARE(total, qint64(1));
        QCOMPARE(page[0].number, qint64(2));

        // No role changes or removes an entry, not even the table's owner.
        for (const char* sql : {"UPDATE audit SET line = 'x'", "DELETE FROM audit", "TRUNCATE audit",
                                "UPDATE audit_chain SET entries = 0", "DELETE FROM audit_chain"}) {
            QVERIFY2(!admin.exec(sql, reason), sql);
            QVERIFY2(reason.contains(QLatin1String("audit trail")), qPrintable(reason));
        }
        QVERIFY(audit.verify().clean);

        Run r = sennetData({QStringLiteral("audit"), QStringLiteral("verify"), QStringLiteral("--server"), url});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains(QLatin1String("3 entries, the chain is whole")), qPrintable(r.out + r.err));
        r = sennetData({QStringLiteral("--server"), url, QStringLiteral("audit"), QStringLiteral("dump"),
                        QStringLiteral("--action"), QStringLiteral("citation-added")});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out.count(u'\n'), 1);
        QVERIFY(r.out.startsWith(QLatin1String("{\"entry\":1,")));

        // A line changed behind the triggers' back is found.
        QVERIFY(admin.exec("ALTER TABLE audit DISABLE TRIGGER audit_only_added", reason));
        QVERIFY(admin.exec("UPDATE audit SET line = replace(line, 'A-1', 'A-2') WHERE entry = 1", reason));
        r = sennetData({QStringLiteral("audit"), QStringLiteral("verify"), QStringLiteral("--server"), url});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.out.contains(QLatin1String("Entry 1 was changed")), qPrintable(r.out));
    }

    // Two desks adding entries at the same moment keep one chain.
    void twoDesksWritingAtOnceKeepOneChain()
    {
        QString url;
        auto first = newStorage(&url);
        QVERIFY(first);
        FileError error;
        auto second = OpenServerStorage(url, QString(), error);
        QVERIFY(second);
        constexpr int PerDesk = 60;
        auto write = [](Storage* desk, const QString& user, int* failures) {
            for (int i = 0; i < PerDesk; ++i) {
                AuditEntry e = makeAuditEntry(AuditAction::ListPrinted, user, 2);
                e.details = {{"count", i}};
                FileError error;
                if (!desk->audit().append(e, error))
                    ++*failures;
            }
        };
        int failures[2] = {0, 0};
        std::thread a(write, first.get(), QStringLiteral("Desk One"), &failures[0]);
        std::thread b(write, second.get(), QStringLiteral("Desk Two"), &failures[1]);
        a.join();
        b.join();
        QCOMPARE(failures[0] + failures[1], 0);
        const AuditVerdict v = first->audit().verify();
        QVERIFY2(v.clean, qPrintable(v.problem));
        QCOMPARE(v.entries, qint64(2 * PerDesk));
    }

    // A database of schema version 1 is brought up to the audit trail.
    void upgradeFromVersionOne()
    {
        const QString url = m_cluster->createDatabase();
        PgConnection pg;
        QString reason;
        QVERIFY(pg.open(url, QString(), reason));
        QVERIFY2(ServerSchema::Init(pg, reason, 1), qPrintable(reason));
        QVERIFY(pg.exec("INSERT INTO shared_settings (name, value) VALUES ('AccessCode', '135791')", reason));
        FileError error;
        QVERIFY(!OpenServerStorage(url, QString(), error));
        QVERIFY2(error.message().contains(QLatin1String("sennet-data server upgrade")), qPrintable(error.message()));
        const Run r = sennetData({QStringLiteral("server"), QStringLiteral("upgrade"), url});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains(QStringLiteral("upgraded from schema version 1 to %1").arg(ServerSchema::CurrentVersion)),
                 qPrintable(r.out + r.err));
        auto storage = OpenServerStorage(url, QString(), error);
        QVERIFY2(storage, qPrintable(error.message()));
        QCOMPARE(storage->shared().accessCode(), QStringLiteral("135791"));
        AuditEntry e = makeAuditEntry(AuditAction::LogIn, QStringLiteral("Jane Doe"), 4);
        QVERIFY(storage->audit().append(e, error));
        QCOMPARE(e.number, qint64(1));
        QVERIFY(storage->audit().verify().clean);
        // The lock-out counts every desk shares, under names longer than before.
        const QString key = QString(80, u'k');
        QVERIFY(storage->shared().setValue(QStringLiteral("Lockout"), key, QStringLiteral("2,")));
        QCOMPARE(storage->shared().value(QStringLiteral("Lockout"), key), QStringLiteral("2,"));
        QVERIFY(storage->shared().setValue(QStringLiteral("Lockout"), key, QString()));
        QCOMPARE(storage->shared().value(QStringLiteral("Lockout"), key), QString());
    }
};

QTEST_GUILESS_MAIN(tst_serverstore)
#include "tst_serverstore.moc"
