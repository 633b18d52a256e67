// Several desks on one server at once, against a real PostgreSQL started for
// the run: desks as processes of their own adding at the same moment,
// hearing each other's changes, refused when another desk got there first,
// named to each other, and riding out a server that goes away.
#include "DataFiles.h"
#include "PgCluster.h"
#include "audit/AuditEntry.h"
#include "server/PgConnection.h"
#include "server/ServerSchema.h"
#include "server/ServerStorage.h"
#include "storage/AuditStore.h"

#include <QLocale>
#include <QProcess>
#include <QSet>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <barrier>
#include <csignal>
#include <thread>

namespace {

CitationRecord citation(const QByteArray& number, int day = 0)
{
    const QByteArray bytes = CitationBytes3000::sample(number, QDate(2024, 3, 1).addDays(day)).bytes();
    return CitationRecord::fromBytes(bytes.constData(), bytes.size());
}

qint64 nowMs() { return QDateTime::currentMSecsSinceEpoch(); }

// Runs the event loop until `done` holds or `ms` pass.
bool waitUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QTest::qWait(20);
    }
    return true;
}

// One desk driver process and the lines it said.
class Desk {
public:
    Desk(const QString& url, int n, int adds, bool heard = false)
    {
        const QString name = QStringLiteral("DESK-%1").arg(n);
        m_p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_p.start(QStringLiteral(DESK_DRIVER_EXE),
                  {url, name, QStringLiteral("Clerk %1").arg(n), QString::number(adds), name,
                   heard ? QStringLiteral("heard") : QString()});
    }
    ~Desk()
    {
        if (m_p.state() != QProcess::NotRunning) {
            m_p.closeWriteChannel();
            if (!m_p.waitForFinished(5000))
                m_p.kill();
            m_p.waitForFinished(2000);
        }
    }
    void tell(const QByteArray& line) { m_p.write(line + '\n'); }
    const QList<QByteArray>& lines()
    {
        while (m_p.canReadLine())
            m_lines << m_p.readLine().trimmed();
        return m_lines;
    }
    // The lines that start with `word`, split at blanks.
    QList<QList<QByteArray>> said(const QByteArray& word)
    {
        QList<QList<QByteArray>> out;
        for (const QByteArray& line : lines())
            if (line.startsWith(word + ' ') || line == word)
                out << line.split(' ');
        return out;
    }
    bool finishes(int ms)
    {
        m_p.closeWriteChannel();
        return m_p.waitForFinished(ms);
    }
    QProcess& process() { return m_p; }

private:
    QProcess m_p;
    QList<QByteArray> m_lines;
};

bool allSaid(std::vector<std::unique_ptr<Desk>>& desks, const QByteArray& word, int times = 1)
{
    return std::all_of(desks.begin(), desks.end(), [&](auto& d) { return d->said(word).size() >= times; });
}

qint64 median(QList<qint64> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? -1 : v[v.size() / 2];
}

} // namespace

class tst_serverdesks : public QObject {
    Q_OBJECT

    std::unique_ptr<PgCluster> m_cluster;

    std::unique_ptr<Storage> open(const QString& url, const QString& desk, const QString& user,
                                  const QString& password = QString())
    {
        FileError error;
        auto s = OpenServerStorage(url, password, error);
        if (!s)
            qWarning("%s", qPrintable(error.message()));
        else
            s->setActor({user, 4, desk});
        return s;
    }

    qint64 count(const QString& url, const char* sql)
    {
        PgConnection pg;
        QString reason;
        PgResult r;
        return pg.open(url, QString(), reason) && pg.exec(sql, {}, r, reason) ? r.int8(0, 0) : -1;
    }

private slots:
    void initTestCase()
    {
        m_cluster = std::make_unique<PgCluster>(PgCluster::Durability::Fast, QStringLiteral("max_connections = 40\n"));
        if (!m_cluster->available())
            QSKIP(qPrintable(m_cluster->problem()));
    }

    void noticesAreReadDefensively()
    {
        using K = ServerSchema::ChangeNotice::Parsed::Kind;
        const struct {
            QByteArray payload;
            bool taken;
            K kind;
            qint32 key;
            qint64 version;
        } cases[] = {
            {"added 12 1", true, K::Added, 12, 1},
            {"changed 2147483647 9000000000", true, K::Changed, 2147483647, 9000000000LL},
            {"deleted 7 3", true, K::Deleted, 7, 3},
            {"many", true, K::Many, 0, 0},
            {"many ", false, {}, 0, 0},
            {"", false, {}, 0, 0},
            {"added", false, {}, 0, 0},
            {"added 12", false, {}, 0, 0},
            {"added 12 1 extra", false, {}, 0, 0},
            {"Added 12 1", false, {}, 0, 0},
            {"added  12 1", false, {}, 0, 0},
            {"added 0 1", false, {}, 0, 0},
            {"added -3 1", false, {}, 0, 0},
            {"added +3 1", false, {}, 0, 0},
            {"added 2147483648 1", false, {}, 0, 0},
            {"changed 5 0", false, {}, 0, 0},
            {"changed 5 1e3", false, {}, 0, 0},
            {"deleted 5 99999999999999999999", false, {}, 0, 0},
            {"dropped 5 1", false, {}, 0, 0},
            {QByteArray("added 5\0 1", 10), false, {}, 0, 0},
        };
        for (const auto& c : cases) {
            const auto parsed = ServerSchema::ChangeNotice::parse(c.payload);
            QVERIFY2(parsed.has_value() == c.taken, c.payload.constData());
            if (parsed) {
                QCOMPARE(parsed->kind, c.kind);
                QCOMPARE(parsed->key, c.key);
                QCOMPARE(parsed->version, c.version);
            }
        }
    }

    void changesMergePerCitation()
    {
        using K = CitationChange::Kind;
        const struct {
            const char* name;
            QList<CitationChange> heard;
            QList<CitationChange> told;
        } cases[] = {
            {"apart", {{K::Added, 1, 1}, {K::Changed, 2, 4}}, {{K::Added, 1, 1}, {K::Changed, 2, 4}}},
            {"added then changed", {{K::Added, 1, 1}, {K::Changed, 1, 2}}, {{K::Added, 1, 2}}},
            {"changed twice", {{K::Changed, 3, 5}, {K::Changed, 3, 6}}, {{K::Changed, 3, 6}}},
            {"changed then deleted", {{K::Changed, 3, 5}, {K::Deleted, 3, 5}}, {{K::Deleted, 3, 5}}},
            {"added then deleted", {{K::Added, 4, 1}, {K::Deleted, 4, 1}}, {{K::Deleted, 4, 1}}},
            {"many swallows all", {{K::Added, 1, 1}, {K::Many, 0, 0}, {K::Changed, 2, 3}}, {{K::Many, 0, 0}}},
        };
        for (const auto& c : cases) {
            QList<CitationChange> batch;
            for (const CitationChange& h : c.heard)
                MergeChange(batch, h);
            QCOMPARE(batch.size(), c.told.size());
            for (qsizetype i = 0; i < batch.size(); ++i) {
                QVERIFY2(batch[i].kind == c.told[i].kind && batch[i].key == c.told[i].key
                             && batch[i].version == c.told[i].version,
                         c.name);
            }
        }
    }

    // Eight desks adding 500 citations each at the same moment: exactly
    // 4,000 on the server, each desk's numbers once each, and every desk
    // heard every other desk's additions.
    void eightDesksAddingAtOnceLoseNothing()
    {
        QString url;
        auto storage = makeServerStorage(*m_cluster, &url);
        QVERIFY(storage);
        constexpr int Desks = 8, Adds = 500;
        std::vector<std::unique_ptr<Desk>> desks;
        for (int i = 1; i <= Desks; ++i)
            desks.push_back(std::make_unique<Desk>(url, i, Adds));
        QVERIFY(waitUntil([&] { return allSaid(desks, "ready"); }, 30000));
        for (auto& d : desks)
            d->tell("go");
        QVERIFY(waitUntil([&] { return allSaid(desks, "done"); }, 240000));
        QSet<CitationKey> keys;
        for (int i = 0; i < Desks; ++i) {
            Desk& d = *desks[size_t(i)];
            QCOMPARE(d.said("done").first(), (QList<QByteArray>{"done", "500", "0"}));
            QSet<QByteArray> numbers;
            for (const auto& saved : d.said("saved")) {
                keys.insert(saved[1].toInt());
                numbers.insert(saved[2]);
            }
            QSet<QByteArray> expected;
            for (int n = 1; n <= Adds; ++n)
                expected.insert("DESK-" + QByteArray::number(i + 1) + '-' + QByteArray::number(n));
            QCOMPARE(numbers, expected);
        }
        QCOMPARE(keys.size(), Desks * Adds);
        QCOMPARE(count(url, "SELECT count(*) FROM citations"), qint64(Desks * Adds));
        QCOMPARE(count(url, "SELECT count(DISTINCT number_key) FROM citations"), qint64(Desks * Adds));
        QCOMPARE(count(url, "SELECT count(DISTINCT id) FROM citations"), qint64(Desks * Adds));
        // Every desk heard the others' additions, and not its own.
        QVERIFY(waitUntil(
            [&] {
                for (auto& d : desks)
                    d->tell("count");
                QTest::qWait(300);
                return std::all_of(desks.begin(), desks.end(), [&](auto& d) {
                    const auto totals = d->said("heard-total");
                    return !totals.isEmpty() && totals.last()[1].toInt() == (Desks - 1) * Adds;
                });
            },
            30000));
        for (auto& d : desks)
            QVERIFY(d->finishes(10000));
    }

    // A change made at one desk is heard at every other within a second
    // (the bound asserted is generous for a shared machine); words on the
    // channel that are not the server's are not taken for changes.
    void changesReachEveryDesk_data()
    {
        QTest::addColumn<int>("listeners");
        QTest::newRow("two desks") << 1;
        QTest::newRow("eight desks") << 7;
    }

    void changesReachEveryDesk()
    {
        QFETCH(int, listeners);
        QString url;
        auto writer = makeServerStorage(*m_cluster, &url);
        QVERIFY(writer);
        writer->setActor({QStringLiteral("Writer"), 4, QStringLiteral("DESK-0")});
        std::vector<std::unique_ptr<Desk>> desks;
        for (int i = 1; i <= listeners; ++i)
            desks.push_back(std::make_unique<Desk>(url, i, 0, true));
        QVERIFY(waitUntil([&] { return allSaid(desks, "ready"); }, 30000));
        QTest::qWait(300); // each desk's listener is up a moment after it says ready

        PgConnection stranger;
        QString reason;
        QVERIFY(stranger.open(url, QString(), reason));
        for (const char* foreign : {"NOTIFY sennet_citations, 'added'", "NOTIFY sennet_citations, 'deleted -1 1'",
                                    "NOTIFY sennet_citations, 'many '", "NOTIFY sennet_citations, 'added 1 1 1'",
                                    "NOTIFY sennet_citations, 'changed x 2'", "NOTIFY sennet_elsewhere, 'many'"})
            QVERIFY2(stranger.exec(foreign, reason), qPrintable(reason));

        struct Sent {
            QByteArray kind;
            CitationKey key;
            qint64 version;
            qint64 at;
        };
        QList<Sent> sent;
        CitationStore& c = writer->citations();
        FileError error;
        // Each change waits until every desk heard the one before, so none
        // are told together (they would be one change then).
        const auto heardAll = [&] {
            return waitUntil([&] { return allSaid(desks, "heard", int(sent.size())); }, 10000);
        };
        for (int i = 0; i < 10; ++i) {
            CitationKey key = 0;
            qint64 at = nowMs();
            QVERIFY(c.add(citation("N-" + QByteArray::number(i)), key, error));
            sent << Sent{"added", key, 1, at};
            QVERIFY(heardAll());
            at = nowMs();
            QVERIFY(c.save(key, citation("M-" + QByteArray::number(i)), error));
            sent << Sent{"changed", key, 2, at};
            QVERIFY(heardAll());
            if (i % 2) {
                at = nowMs();
                QVERIFY(c.remove(key, error));
                sent << Sent{"deleted", key, 2, at};
                QVERIFY(heardAll());
            }
        }
        QTest::qWait(200);
        QList<qint64> latencies;
        for (auto& d : desks) {
            const auto heard = d->said("heard");
            QCOMPARE(heard.size(), sent.size()); // nothing else taken for a change
            for (qsizetype i = 0; i < sent.size(); ++i) {
                QCOMPARE(heard[i][1], sent[i].kind);
                QCOMPARE(heard[i][2].toInt(), sent[i].key);
                QCOMPARE(heard[i][3].toLongLong(), sent[i].version);
                latencies << heard[i][4].toLongLong() - sent[i].at;
            }
            QVERIFY(d->said("link").isEmpty());
        }
        const qint64 worst = *std::max_element(latencies.begin(), latencies.end());
        qInfo("%d desks: a change heard after %lld ms (median), %lld ms at worst, over %lld changes",
              listeners + 1, median(latencies), worst, qint64(latencies.size()));
        QVERIFY2(worst < 3000, qPrintable(QString::number(worst)));
    }

    // A desk does not hear its own changes; a statement of many rows, and
    // a restore, is one "many"; the feed may go inside its own call.
    void feedLeavesOutOwnChangesAndFoldsBigOnes()
    {
        QString url;
        auto mine = makeServerStorage(*m_cluster, &url);
        QVERIFY(mine);
        auto other = open(url, QStringLiteral("DESK-B"), QStringLiteral("John Doe"));
        QVERIFY(other);
        QList<CitationChange> heard;
        QList<ServerLink> links;
        std::unique_ptr<ChangeFeed> feed = mine->followChanges([&](const QList<CitationChange>& c) { heard << c; },
                                                               [&](ServerLink l) { links << l; });
        QVERIFY(feed);
        FileError error;
        CitationKey key = 0;
        QVERIFY(mine->citations().add(citation("OWN-1"), key, error));
        QVERIFY(mine->citations().save(key, citation("OWN-2"), error));
        std::vector<CitationRecord> records;
        for (int i = 0; i < 3; ++i)
            records.push_back(citation("SMALL-" + QByteArray::number(i)));
        QVERIFY(other->citations().addAll(records, key, error));
        QTRY_COMPARE_WITH_TIMEOUT(heard.size(), 3, 5000);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(heard[i].kind, CitationChange::Kind::Added);
            QCOMPARE(heard[i].key, key + i);
        }
        heard.clear();
        records.clear();
        for (int i = 0; i < ServerSchema::ChangeNotice::ManyRows + 1; ++i)
            records.push_back(citation("BIG-" + QByteArray::number(i)));
        QVERIFY(other->citations().addAll(records, key, error));
        QTRY_COMPARE_WITH_TIMEOUT(heard.size(), 1, 5000);
        QCOMPARE(heard[0].kind, CitationChange::Kind::Many);
        heard.clear();
        StoreContents contents;
        QVERIFY(other->readContents(contents, error));
        QVERIFY(other->replaceContents(contents, error));
        QTRY_COMPARE_WITH_TIMEOUT(heard.size(), 1, 5000);
        QCOMPARE(heard[0].kind, CitationChange::Kind::Many);
        QTest::qWait(100);
        QCOMPARE(heard.size(), 1);
        QVERIFY(links.isEmpty());

        // A window closing on what it heard takes the feed with it.
        feed = mine->followChanges([&](const QList<CitationChange>&) { feed.reset(); }, {});
        QTest::qWait(200);
        QVERIFY(other->citations().add(citation("LAST"), key, error));
        QTRY_VERIFY_WITH_TIMEOUT(!feed, 5000);
        QTest::qWait(100);
    }

    // A server that stops answering without closing the connection (a
    // cable pulled, a machine frozen) is found lost by the feed's periodic
    // question, told once, and back once a new connection is made.
    void silentServerIsFoundLost()
    {
        QString url;
        auto mine = makeServerStorage(*m_cluster, &url);
        QVERIFY(mine);
        mine->setActor({QStringLiteral("Jane Roe"), 4, QStringLiteral("DESK-A")});
        QList<ServerLink> links;
        QElapsedTimer sinceFrozen;
        qint64 lostAfter = -1;
        auto feed = mine->followChanges({}, [&](ServerLink l) {
            if (l == ServerLink::Lost)
                lostAfter = sinceFrozen.elapsed();
            links << l;
        });
        QTest::qWait(300);
        PgConnection pg;
        QString reason;
        PgResult r;
        QVERIFY(pg.open(url, QString(), reason));
        QVERIFY(pg.exec("SELECT pid FROM pg_stat_activity WHERE application_name LIKE 'Sennet listener %' "
                        "AND datname = current_database()",
                        {}, r, reason));
        QCOMPARE(r.rows(), 1);
        const pid_t listener = r.int4(0, 0);
        QCOMPARE(::kill(listener, SIGSTOP), 0);
        sinceFrozen.start();
        QTRY_COMPARE_WITH_TIMEOUT(links.size(), 2, 15000);
        ::kill(listener, SIGCONT);
        QCOMPARE(links, (QList<ServerLink>{ServerLink::Lost, ServerLink::Back}));
        QVERIFY2(lostAfter >= 3000 && lostAfter < 10000, qPrintable(QString::number(lostAfter)));
        QTest::qWait(2500);
        QCOMPARE(links.size(), 2);
    }

    // Two desks on the same citation: the second write is refused, naming
    // who changed it, where and when, and nothing of it is written, not
    // even its audit entry; written over the stored version once asked.
    void secondWriteOfTheSameCitationIsRefused()
    {
        QString url;
        auto first = makeServerStorage(*m_cluster, &url);
        QVERIFY(first);
        first->setActor({QStringLiteral("Jane Roe"), 4, QStringLiteral("DESK-A")});
        auto second = open(url, QStringLiteral("DESK-B"), QStringLiteral("John Doe"));
        QVERIFY(second);
        enum Act { Save, Remove };
        const struct {
            const char* name;
            Act theirs;
            Act mine;
            RowConflict expected;
        } cases[] = {
            {"save after their save", Save, Save, RowConflict::Changed},
            {"delete after their save", Save, Remove, RowConflict::Changed},
            {"save after their delete", Remove, Save, RowConflict::Deleted},
            {"delete after their delete", Remove, Remove, RowConflict::Deleted},
        };
        const char* locales[] = {"en_US", "en_GB", "de_DE"};
        int round = 0;
        for (const auto& c : cases) {
            QLocale::setDefault(QLocale(QLatin1String(locales[round++ % 3])));
            FileError error;
            CitationKey key = 0;
            QVERIFY(first->citations().add(citation("SAME-" + QByteArray(c.name).left(4)), key, error));
            CitationRecord shown, theirs;
            RowStamp shownStamp, theirStamp;
            QVERIFY(first->citations().readStamped(key, shown, shownStamp, error));
            QVERIFY(second->citations().readStamped(key, theirs, theirStamp, error));
            QCOMPARE(shownStamp.version, qint64(1));
            QCOMPARE(shownStamp.user, QStringLiteral("Jane Roe"));
            QCOMPARE(shownStamp.desk, QStringLiteral("DESK-A"));

            WriteCheck check;
            check.shownVersion = theirStamp.version;
            const QDateTime before = QDateTime::currentDateTime().addSecs(-2);
            QVERIFY(c.theirs == Save ? second->citations().saveChecked(key, citation("THEIRS"), check, error)
                                     : second->citations().removeChecked(key, check, error));
            QCOMPARE(check.conflict, RowConflict::None);

            AuditEntry entry = makeAuditEntry(c.mine == Save ? AuditAction::CitationEdited
                                                             : AuditAction::CitationDeleted,
                                              QStringLiteral("Jane Roe"), 4);
            QVERIFY(first->audit().append(entry, error));
            const qint64 entries = first->audit().verify().entries;
            check = WriteCheck();
            check.shownVersion = shownStamp.version;
            const bool written = c.mine == Save ? first->citations().saveChecked(key, citation("MINE"), check, error)
                                                : first->citations().removeChecked(key, check, error);
            QVERIFY2(!written, c.name);
            QCOMPARE(check.conflict, c.expected);
            QCOMPARE(first->audit().verify().entries, entries);
            CitationRecord stored;
            RowStamp now;
            if (c.expected == RowConflict::Deleted) {
                QVERIFY(!first->citations().read(key, stored, error));
                continue;
            }
            QCOMPARE(check.current.version, qint64(2));
            QCOMPARE(check.current.user, QStringLiteral("John Doe"));
            QCOMPARE(check.current.desk, QStringLiteral("DESK-B"));
            QVERIFY2(check.current.when >= before && check.current.when <= QDateTime::currentDateTime().addSecs(2),
                     qPrintable(check.current.when.toString(Qt::ISODate)));
            for (const QString& part : {QStringLiteral("John Doe"), QStringLiteral("DESK-B"),
                                        QLocale().toString(check.current.when, QLocale::ShortFormat)})
                QVERIFY2(error.message().contains(part), qPrintable(error.message()));
            QVERIFY(first->citations().readStamped(key, stored, now, error));
            QCOMPARE(stored.text(CitationField::CitationNumber).trimmed(), QStringLiteral("THEIRS"));
            // Asked, the user saves over the stored version.
            check = WriteCheck();
            check.shownVersion = now.version;
            QVERIFY(c.mine == Save ? first->citations().saveChecked(key, citation("MINE"), check, error)
                                   : first->citations().removeChecked(key, check, error));
        }
        QLocale::setDefault(QLocale::c());
    }

    // The same as two desk processes, as users would: both edit one
    // citation, the second save is refused naming the first desk; a
    // citation deleted at one desk while the other edits it is refused as
    // deleted there.
    void twoDeskProcessesOnOneCitation()
    {
        QString url;
        auto storage = makeServerStorage(*m_cluster, &url);
        QVERIFY(storage);
        FileError error;
        CitationKey edited = 0, deleted = 0;
        QVERIFY(storage->citations().add(citation("BOTH-1"), edited, error));
        QVERIFY(storage->citations().add(citation("BOTH-2"), deleted, error));
        std::vector<std::unique_ptr<Desk>> desks;
        for (int i = 1; i <= 2; ++i)
            desks.push_back(std::make_unique<Desk>(url, i, 0));
        QVERIFY(waitUntil([&] { return allSaid(desks, "ready"); }, 30000));
        const QDateTime before = QDateTime::currentDateTime().addSecs(-2);
        Desk& a = *desks[0];
        Desk& b = *desks[1];
        for (auto& d : desks) {
            d->tell("edit " + QByteArray::number(edited));
            d->tell("edit " + QByteArray::number(deleted));
        }
        QVERIFY(waitUntil([&] { return allSaid(desks, "shown", 2); }, 10000));
        a.tell("save " + QByteArray::number(edited) + " FROM-A");
        QVERIFY(waitUntil([&] { return !a.said("saved").isEmpty(); }, 10000));
        b.tell("save " + QByteArray::number(edited) + " FROM-B");
        b.tell("delete " + QByteArray::number(deleted));
        QVERIFY(waitUntil([&] { return !b.said("refused").isEmpty() && !b.said("deleted").isEmpty(); }, 10000));
        a.tell("save " + QByteArray::number(deleted) + " FROM-A");
        QVERIFY(waitUntil([&] { return !a.said("refused").isEmpty(); }, 10000));

        const QByteArray refusedAtB = b.said("refused").first().join(' ');
        QVERIFY2(refusedAtB.startsWith("refused changed Clerk 1|DESK-1|"), refusedAtB.constData());
        const QByteArray at = refusedAtB.split('|')[2].split(' ')[0];
        const QDateTime when = QDateTime::fromString(QString::fromLatin1(at), Qt::ISODate);
        QVERIFY2(when >= before && when <= QDateTime::currentDateTime().addSecs(2), at.constData());
        QVERIFY2(refusedAtB.contains("Clerk 1 at desk \"DESK-1\""), refusedAtB.constData());
        QCOMPARE(a.said("refused").first()[1], QByteArray("deleted"));
        CitationRecord stored;
        QVERIFY(storage->citations().read(edited, stored, error));
        QCOMPARE(stored.text(CitationField::CitationNumber).trimmed(), QStringLiteral("FROM-A"));
        QVERIFY(!storage->citations().read(deleted, stored, error));
    }

    // A number saved at another desk since the user was asked refuses the
    // save; the numbers the user was told about do not. Of two desks saving
    // one new number at the same instant, one is saved and one asked.
    void numberTakenMeanwhileIsRefused()
    {
        QString url;
        auto first = makeServerStorage(*m_cluster, &url);
        QVERIFY(first);
        first->setActor({QStringLiteral("Jane Roe"), 4, QStringLiteral("DESK-A")});
        auto second = open(url, QStringLiteral("DESK-B"), QStringLiteral("John Doe"));
        QVERIFY(second);
        FileError error;
        WriteCheck check;
        check.checkNumber = true;
        CitationKey theirs = 0, mine = 0;
        QVERIFY(first->citations().addChecked(citation("N-1"), theirs, check, error));
        check = WriteCheck();
        check.checkNumber = true;
        QVERIFY(!second->citations().addChecked(citation(" n-1 "), mine, check, error));
        QCOMPARE(check.conflict, RowConflict::NumberTaken);
        QCOMPARE(check.current.user, QStringLiteral("Jane Roe"));
        QVERIFY2(error.message().contains(QLatin1String("\"n-1\"")), qPrintable(error.message()));
        check.knownDuplicates = {theirs};
        QVERIFY(second->citations().addChecked(citation(" n-1 "), mine, check, error));
        // An edit taking the number is checked the same way, itself left out.
        CitationKey third = 0;
        QVERIFY(second->citations().add(citation("N-2"), third, error));
        check = WriteCheck();
        check.checkNumber = true;
        check.knownDuplicates = {theirs};
        QVERIFY(!second->citations().saveChecked(third, citation("N-1"), check, error));
        QCOMPARE(check.conflict, RowConflict::NumberTaken);
        check.knownDuplicates = {theirs, mine};
        QVERIFY(second->citations().saveChecked(third, citation("N-1"), check, error));
        // A number holding a NUL (a damaged record's) is looked up among the
        // rows that keep raw bytes, not sent to the server as text.
        const QByteArray damaged("D\0-1", 4);
        CitationKey raw = 0;
        QVERIFY(first->citations().add(citation(damaged), raw, error));
        check = WriteCheck();
        check.checkNumber = true;
        QVERIFY2(second->citations().saveChecked(raw, citation(damaged), check, error), qPrintable(error.message()));
        QVERIFY(!second->citations().addChecked(citation(damaged), mine, check, error));
        QCOMPARE(check.conflict, RowConflict::NumberTaken);

        std::barrier start(2);
        for (int round = 0; round < 10; ++round) {
            const QByteArray number = "RACE-" + QByteArray::number(round);
            RowConflict conflicts[2];
            bool saved[2];
            auto desk = [&](Storage* s, int i) {
                WriteCheck c;
                c.checkNumber = true;
                CitationKey k = 0;
                FileError e;
                start.arrive_and_wait();
                saved[i] = s->citations().addChecked(citation(number), k, c, e);
                conflicts[i] = c.conflict;
            };
            std::thread a(desk, first.get(), 0), b(desk, second.get(), 1);
            a.join();
            b.join();
            QVERIFY2(saved[0] != saved[1], number.constData());
            QCOMPARE(saved[0] ? conflicts[1] : conflicts[0], RowConflict::NumberTaken);
        }
    }

    // Each desk is named on the server, its listener apart; the other desks
    // are listed as "<desk> (<user>)", also to a role that is no superuser;
    // a desk not logged in and this desk's own connections are not. The
    // log view names each line's desk; the log itself stays the folder's.
    void desksAreNamedAndListed()
    {
        const struct {
            QString desk, user;
            QByteArray name;
        } names[] = {
            {QStringLiteral("DESK-1"), QStringLiteral("Jane Doe"), "Sennet desk DESK-1 Jane Doe"},
            {QStringLiteral("Front Office"), QStringLiteral("J\u00F6rg \u00C9mile"),
             "Sennet desk Front_Office J?rg ?mile"},
            {QStringLiteral("D"), QString(80, u'W'), "Sennet desk D " + QByteArray(49, 'W')},
        };
        for (const auto& n : names) {
            QCOMPARE(ServerDeskName({n.user, 4, n.desk}), n.name);
            QVERIFY(ServerListenerName({n.user, 4, n.desk}).startsWith("Sennet listener "));
        }
        QCOMPARE(ServerDeskOf(QStringLiteral("Sennet desk DESK-1 Jane Doe")), QStringLiteral("DESK-1 (Jane Doe)"));
        QCOMPARE(ServerDeskOf(QStringLiteral("Sennet listener DESK-1 Jane Doe")), QString());
        QCOMPARE(ServerDeskOf(QStringLiteral("sennet-data")), QString());

        QString url;
        auto first = makeServerStorage(*m_cluster, &url);
        QVERIFY(first);
        first->setActor({QStringLiteral("Jane Doe"), 4, QStringLiteral("DESK-A")});
        auto feed = first->followChanges([](const QList<CitationChange>&) {}, {});
        const QString database = url.section(QStringLiteral("dbname="), 1);
        const QString clerkUrl = m_cluster->addPasswordRole(QStringLiteral("clerk"), QStringLiteral("s3cret"),
                                                            database, false);
        QVERIFY(!clerkUrl.isEmpty());
        auto second = open(clerkUrl, QStringLiteral("DESK-B"), QStringLiteral("J\u00F6rg Smith"),
                           QStringLiteral("s3cret"));
        QVERIFY(second);
        FileError error;
        auto notLoggedIn = OpenServerStorage(url, QString(), error);
        QVERIFY(notLoggedIn);
        QStringList desks;
        QVERIFY2(second->otherDesks(desks, error), qPrintable(error.message()));
        QCOMPARE(desks, QStringList{QStringLiteral("DESK-A (Jane Doe)")});
        QVERIFY(first->otherDesks(desks, error));
        QCOMPARE(desks, QStringList{QStringLiteral("DESK-B (J?rg Smith)")});

        QVERIFY(first->userLog().append(QStringLiteral("Jane logged in."), error));
        QVERIFY(second->userLog().append(QStringLiteral("J\u00F6rg logged in."), error));
        QByteArray log;
        bool partial = false;
        QVERIFY(first->userLog().readLatest(10, 1 << 20, log, partial, error));
        QCOMPARE(log, QByteArray("Jane logged in. (desk DESK-A)\r\nJ\xF6rg logged in. (desk DESK-B)\r\n"));
        QVERIFY(first->userLog().readAll(log, error));
        QCOMPARE(log, QByteArray("Jane logged in.\r\nJ\xF6rg logged in.\r\n"));
        // Lines brought back by a restore were written at desks unknown.
        StoreContents contents;
        QVERIFY(first->readContents(contents, error));
        QVERIFY(first->replaceContents(contents, error));
        QVERIFY(first->userLog().readLatest(10, 1 << 20, log, partial, error));
        QCOMPARE(log, QByteArray("Jane logged in.\r\nJ\xF6rg logged in.\r\n"));
    }

    // A backup taken while another desk saves is of one moment: that desk
    // writes a log line, then a citation, so a backup holds as many lines
    // as citations it added, or one more.
    void backupWhileAnotherDeskSavesIsOneMoment()
    {
        QString url;
        auto backup = makeServerStorage(*m_cluster, &url);
        QVERIFY(backup);
        std::vector<CitationRecord> preload(4000, citation("OLD"));
        CitationKey first = 0;
        FileError error;
        QVERIFY(backup->citations().addAll(preload, first, error));
        auto desk = open(url, QStringLiteral("DESK-B"), QStringLiteral("John Doe"));
        QVERIFY(desk);
        std::atomic<bool> stop = false;
        std::atomic<int> written = 0;
        std::thread writer([&] {
            FileError e;
            CitationKey k = 0;
            for (int i = 0; !stop; ++i)
                if (desk->userLog().append(QStringLiteral("line %1").arg(i), e)
                    && desk->citations().add(citation("NEW"), k, e))
                    ++written;
        });
        for (int i = 0; i < 5; ++i) {
            StoreContents contents;
            QVERIFY(backup->readContents(contents, error));
            const qsizetype lines = contents.userLog.count("\r\n");
            const qsizetype added = qsizetype(contents.citations.size()) - qsizetype(preload.size());
            QVERIFY2(lines == added || lines == added + 1,
                     qPrintable(QStringLiteral("%1 lines, %2 citations").arg(lines).arg(added)));
        }
        stop = true;
        writer.join();
        QVERIFY(written > 0);
    }

    // The server stopped at once while four desks save, then started: every
    // save a desk was told was done is there, every desk was told of the
    // loss once and of the return once, saves again, and ends when told.
    void serverKilledWhileFourDesksSave()
    {
        QString url;
        auto storage = makeServerStorage(*m_cluster, &url);
        QVERIFY(storage);
        std::vector<std::unique_ptr<Desk>> desks;
        for (int i = 1; i <= 4; ++i)
            desks.push_back(std::make_unique<Desk>(url, i, -1));
        QVERIFY(waitUntil([&] { return allSaid(desks, "ready"); }, 30000));
        for (auto& d : desks)
            d->tell("go");
        QVERIFY(waitUntil([&] { return allSaid(desks, "saved", 5); }, 30000));
        QVERIFY(m_cluster->stopImmediately());
        QVERIFY(waitUntil([&] { return allSaid(desks, "link"); }, 15000));
        QTest::qWait(1000);
        QVERIFY(m_cluster->start());
        QVERIFY(waitUntil([&] { return allSaid(desks, "link", 2); }, 30000));
        // Each desk saves again after the server's return.
        QList<int> savedBefore;
        for (auto& d : desks)
            savedBefore << int(d->said("saved").size());
        QVERIFY(waitUntil(
            [&] {
                for (size_t i = 0; i < desks.size(); ++i)
                    if (desks[i]->said("saved").size() <= savedBefore[int(i)])
                        return false;
                return true;
            },
            30000));
        for (auto& d : desks) {
            d->tell("quit");
            QVERIFY(d->process().waitForFinished(10000));
        }
        PgConnection pg;
        QString reason;
        QVERIFY(pg.open(url, QString(), reason));
        for (auto& d : desks) {
            const auto links = d->said("link");
            QCOMPARE(links.size(), 2);
            QCOMPARE(links[0][1], QByteArray("lost"));
            QCOMPARE(links[1][1], QByteArray("back"));
            for (const auto& saved : d->said("saved")) {
                PgResult r;
                QVERIFY(pg.exec("SELECT citation_number FROM citations WHERE id = $1",
                                {PgValue::int4(saved[1].toInt())}, r, reason));
                QCOMPARE(r.rows(), 1);
                QCOMPARE(r.bytes(0, 0), saved[2]);
            }
        }
    }
};

QTEST_GUILESS_MAIN(tst_serverdesks)
#include "tst_serverdesks.moc"
