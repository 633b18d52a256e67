// The storage seam, store by store: the same generated citations, users and
// log lines go in, and the same rows, search results, records and contents
// must come out. Expected rows come from the plain one-record-at-a-time list
// reader over a data file written byte by byte by the test's own writer.
#include "DataFiles.h"
#include "Doubles.h"
#include "StorageSuite.h"
#include "UserFiles.h"
#include "store/CitationFile.h"
#include "store/CitationRows.h"
#include "store/SearchSettings.h"

#include <QTemporaryDir>
#include <QTest>

class tst_StorageSuite : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void listAndSearchGiveTheFileReadersRows_data() { stores(); }
    void listAndSearchGiveTheFileReadersRows();
    void oneCitationAddedSavedRemoved_data() { stores(); }
    void oneCitationAddedSavedRemoved();
    void numbersFoundWithoutRegardToCaseOrBlanks_data() { stores(); }
    void numbersFoundWithoutRegardToCaseOrBlanks();
    void usersListedAddedSavedRemoved_data() { stores(); }
    void usersListedAddedSavedRemoved();
    void logAndAccessCode_data() { stores(); }
    void logAndAccessCode();
    void contentsRoundTripUnchanged_data() { stores(); }
    void contentsRoundTripUnchanged();

private:
    static void stores()
    {
        QTest::addColumn<int>("factory");
        const QList<StorageFactory> factories = StorageFactories();
        for (int i = 0; i < factories.size(); ++i)
            QTest::newRow(qPrintable(factories[i].name)) << i;
    }
    // A fresh store of the row's kind over its own temporary folder (or
    // database); null when the kind cannot be had here.
    std::unique_ptr<Storage> make()
    {
        QFETCH(int, factory);
        m_dirs.push_back(std::make_unique<QTemporaryDir>());
        return StorageFactories().at(factory).make(m_dirs.back()->path());
    }

    std::vector<std::unique_ptr<QTemporaryDir>> m_dirs;
    MemorySettings m_settings;
};

namespace {

const QByteArray Accented = "M\xfcller-\xc9lo\xefse \xc7\xe0 \xd1\xfa\xf1" "ez"; // Windows-1252
constexpr int Generated = 300;

QByteArray full(const QByteArray& text, int width) { return text.repeated(width / text.size() + 1).left(width); }

// Citation i of the generated set: capitals filling their fields, accents,
// empty fields and every option and check box value in turn.
CitationBytes3000 generated(int i)
{
    const QByteArray n = QByteArray::number(i);
    CitationBytes3000 c = CitationBytes3000::sample("C" + n.rightJustified(5, '0'), QDate(2015, 1, 1).addDays(i * 7 % 3650),
                                                    i % 5 == 0 ? QByteArray() : "46.2-" + QByteArray::number(800 + i % 60),
                                                    i % 3 == 0 ? full("RT 1 NORTHBOUND ", 50) : "Main St",
                                                    i % 4 == 0 ? QByteArray() : Accented);
    c.int16("FormatVersion", 315)
        .date("OffenseTime", QDate(1899, 12, 30), QTime(i % 24, i % 60))
        .text("IssuingOfficer", i % 2 ? full("OFFICER ", 30) : "Sgt. " + Accented)
        .text("DefendantName", i % 7 == 0 ? QByteArray() : (i % 2 ? full("ZYX", 30) : Accented))
        .text("NCICNumber", "VA" + n)
        .text("Notes", i % 6 == 0 ? QByteArray() : "Stopped by radar\r\nnear " + Accented + " " + n);
    const struct {
        const char* field;
        int choices;
    } options[] = {{"StateOrLocal", 2}, {"SpeedMethod", 3}, {"TestType", 4},   {"Weather", 4},         {"RoadSurface", 4},
                   {"RoadType", 4},     {"Traffic", 3},     {"Lighting", 3},   {"SceneDisposition", 3}};
    for (const auto& o : options)
        c.int16(o.field, qint16(i % (o.choices + 1))); // 0: none chosen
    for (const char* box : {"CommercialVehicle", "Accident", "CommercialViolation", "HazMatViolation", "Speeding",
                            "ImpairedDriving"})
        c.int16(box, qint16(i % 2));
    return c;
}

std::vector<CitationRecord> records(const QList<CitationBytes3000>& citations)
{
    std::vector<CitationRecord> out;
    for (const CitationBytes3000& c : citations)
        out.push_back(CitationRecord::fromBytes(c.bytes().constData(), c.bytes().size()));
    return out;
}

QList<CitationKey> keysOf(CitationStore& store)
{
    QList<CitationKey> keys;
    FileError error;
    [&] { QVERIFY(store.forEach([&](CitationKey k, const char*) { return keys << k, true; }, error)); }();
    return keys;
}

} // namespace

void tst_StorageSuite::initTestCase() { InitialiseDataFileNames(); }

void tst_StorageSuite::listAndSearchGiveTheFileReadersRows()
{
    QList<CitationBytes3000> citations;
    for (int i = 1; i <= Generated; ++i)
        citations << generated(i);
    QTemporaryDir reference;
    const QString referenceFile = reference.filePath(QStringLiteral("reference.data"));
    WriteCitations(referenceFile, citations);

    const std::unique_ptr<Storage> s = make();
    if (!s)
        QSKIP("no PostgreSQL to test against");
    CitationStore& store = s->citations();
    FileError error;
    CitationKey first = 0;
    QVERIFY(store.addAll(records(citations), first, error));
    QCOMPARE(store.count(error), Generated);
    const QList<CitationKey> keys = keysOf(store);
    QCOMPARE(keys.size(), Generated);
    QCOMPARE(keys.first(), first);

    QList<SearchSettings> searches{{}};
    for (const QString& phrase : {QStringLiteral("m\u00fcller"), QStringLiteral("RT 1"), QStringLiteral("2016"),
                                  QStringLiteral("radar"), QStringLiteral("46.2-81")})
        for (qint16 scope = 1; scope <= 8; ++scope)
            searches.append({phrase, scope, qint16(scope % 2), qint16(scope == 3)});
    for (const SearchSettings& search : searches) {
        const SearchSettings* asked = search.phrase.isEmpty() ? nullptr : &search;
        CitationFileView view(referenceFile);
        QVERIFY(view.open());
        QList<CitationRow> expected = ReadCitationRows(view, asked);
        for (CitationRow& row : expected)
            row.recNum = keys.at(row.recNum - 1);
        const CitationRows rows = store.listRows(asked, error);
        QVERIFY2(!error.isError(), qPrintable(error.message()));
        QList<CitationRow> got;
        for (int r = 0; r < rows.size(); ++r)
            got << rows.decoded(r);
        QVERIFY2(got == expected, qPrintable(QStringLiteral("'%1' in scope %2: %3 rows, expected %4")
                                                 .arg(search.phrase).arg(search.scope).arg(got.size())
                                                 .arg(expected.size())));
    }

    // forEach and forKeys hand over the very bytes, in their order, and stop when asked.
    int visited = 0;
    QVERIFY(store.forEach(
        [&](CitationKey k, const char* record) {
            [&] { QCOMPARE(QByteArray(record, 3000), citations.at(keys.indexOf(k)).bytes()); }();
            return ++visited < 10;
        },
        error));
    QCOMPARE(visited, 10);
    const QList<CitationKey> some{keys[200], keys[3], keys[99]};
    QList<QByteArray> got;
    QVERIFY(store.forKeys(some, [&](CitationKey, const char* record) { return got << QByteArray(record, 3000), true; },
                          error));
    QCOMPARE(got, (QList<QByteArray>{citations[200].bytes(), citations[3].bytes(), citations[99].bytes()}));
}

void tst_StorageSuite::oneCitationAddedSavedRemoved()
{
    const std::unique_ptr<Storage> s = make();
    if (!s)
        QSKIP("no PostgreSQL to test against");
    CitationStore& store = s->citations();
    FileError error;
    QCOMPARE(store.count(error), 0);
    QList<CitationKey> keys;
    for (int i = 1; i <= 5; ++i) {
        CitationKey key = 0;
        QVERIFY(store.add(records({generated(i)}).front(), key, error));
        QVERIFY(!keys.contains(key));
        keys << key;
    }
    QCOMPARE(keysOf(store), keys);

    CitationRecord record;
    QVERIFY(store.read(keys[2], record, error));
    QCOMPARE(record.bytes(), generated(3).bytes());
    const QByteArray changed = generated(3).text("CitationNumber", "EDITED").text("Notes", full("\xc9", 2057)).bytes();
    QVERIFY(store.save(keys[2], CitationRecord::fromBytes(changed.constData(), 3000), error));
    QVERIFY(store.read(keys[2], record, error));
    QCOMPARE(record.bytes(), changed);
    QCOMPARE(store.listRows(nullptr, error).decoded(2).citationNumber, QStringLiteral("EDITED"));

    // A removal: the citation is gone, the others stay, under their old keys
    // or, where keys shift, every later one a place up.
    QVERIFY(store.remove(keys[1], error));
    QCOMPARE(store.count(error), 4);
    const QList<CitationKey> now = keysOf(store);
    QList<CitationKey> expected = keys;
    expected.removeAt(1);
    if (store.keysShiftOnDelete())
        for (int i = 1; i < expected.size(); ++i)
            --expected[i];
    QCOMPARE(now, expected);
    QVERIFY(store.read(now[1], record, error));
    QCOMPARE(record.bytes(), changed);
    QVERIFY(store.read(now[3], record, error));
    QCOMPARE(record.bytes(), generated(5).bytes());
    error.clear();
    QVERIFY(!store.read(now.last() + 1000, record, error));
    QVERIFY(error.isError());
}

void tst_StorageSuite::numbersFoundWithoutRegardToCaseOrBlanks()
{
    const std::unique_ptr<Storage> s = make();
    if (!s)
        QSKIP("no PostgreSQL to test against");
    CitationStore& store = s->citations();
    FileError error;
    std::vector<CitationRecord> list;
    for (const QByteArray& number : {QByteArray("ab-100"), QByteArray("CD-200"), QByteArray("  AB-100"),
                                     QByteArray("ab-1000"), QByteArray("")})
        list.push_back(CitationRecord::fromBytes(generated(1).text("CitationNumber", number).bytes().constData(), 3000));
    CitationKey first = 0;
    QVERIFY(store.addAll(list, first, error));
    const QList<CitationKey> keys = keysOf(store);
    // Read once through the whole list, as the main window does, and once not.
    for (bool listed : {false, true}) {
        if (listed)
            store.listRows(nullptr, error);
        QList<CitationKey> found;
        QVERIFY(store.findNumber(QStringLiteral(" Ab-100 "), 0, found, error));
        QCOMPARE(found, (QList<CitationKey>{keys[0], keys[2]}));
        QVERIFY(store.findNumber(QStringLiteral("AB-100"), keys[0], found, error));
        QCOMPARE(found, QList<CitationKey>{keys[2]});
        QVERIFY(store.findNumber(QStringLiteral("ef-1"), 0, found, error));
        QVERIFY(found.isEmpty());
    }
    // Saves and removals are seen by the next look-up.
    CitationKey added = 0;
    QVERIFY(store.add(list[1], added, error));
    QList<CitationKey> found;
    QVERIFY(store.findNumber(QStringLiteral("cd-200"), 0, found, error));
    QCOMPARE(found, (QList<CitationKey>{keys[1], added}));
    QVERIFY(store.remove(keys[0], error));
    QVERIFY(store.findNumber(QStringLiteral("AB-100"), 0, found, error));
    QCOMPARE(found, QList<CitationKey>{store.keysShiftOnDelete() ? keys[2] - 1 : keys[2]});
}

void tst_StorageSuite::usersListedAddedSavedRemoved()
{
    const std::unique_ptr<Storage> s = make();
    if (!s)
        QSKIP("no PostgreSQL to test against");
    UserStore& users = s->users();
    FileError error;
    QList<StoredUser> listed;
    QVERIFY(users.list(listed, error));
    QVERIFY(listed.isEmpty());
    const QList<UserBytes500> written{UserBytes500::user(full("MAXIMILIAN", 15), full("FEATHERSTONEHAUGH", 20), "abcd", 4),
                                      UserBytes500::user("Zo\xeb", "M\xfcller", "wxyz1", 1),
                                      UserBytes500::user("Ana", "", "Pass99", 3).text("Comments", "a\r\nb")};
    QList<UserKey> keys;
    for (const UserBytes500& u : written) {
        UserKey key = 0;
        QVERIFY(users.add(UserRecord::fromBytes(u.bytes().constData(), 500), key, error));
        keys << key;
    }
    QVERIFY(users.list(listed, error));
    QCOMPARE(listed.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(listed[i].key, keys[i]);
        QCOMPARE(listed[i].record.bytes(), written[i].bytes());
    }
    UserBytes500 edited = written[1];
    edited.level(2).text("Comments", full("\xe9t\xe9 ", 40));
    QVERIFY(users.save(keys[1], UserRecord::fromBytes(edited.bytes().constData(), 500), error));
    UserRecord read;
    QVERIFY(users.read(keys[1], read, error));
    QCOMPARE(read.bytes(), edited.bytes());

    QVERIFY(users.remove(keys[0], error));
    QVERIFY(users.list(listed, error));
    QCOMPARE(listed.size(), 2);
    QCOMPARE(listed[0].record.bytes(), edited.bytes());
    QCOMPARE(listed[1].record.bytes(), written[2].bytes());
    const int shift = s->citations().keysShiftOnDelete() ? 1 : 0;
    QCOMPARE(listed[0].key, keys[1] - shift);
    QCOMPARE(listed[1].key, keys[2] - shift);
}

void tst_StorageSuite::logAndAccessCode()
{
    const std::unique_ptr<Storage> s = make();
    if (!s)
        QSKIP("no PostgreSQL to test against");
    UserLogStore& log = s->userLog();
    FileError error;
    QByteArray bytes;
    bool partial = true;
    QVERIFY(log.readLatest(10, 1000, bytes, partial, error));
    QVERIFY(bytes.isEmpty() && !partial);
    const QStringList lines{QStringLiteral("03/07/2026 at 14:05:09 - Jane Doe logged in w/ Read Only privileges."),
                            QStringLiteral("03/07/2026 at 14:06:00 - Zo\u00eb M\u00fcller logged out."),
                            QStringLiteral("03/08/2026 at 08:00:00 - Ana logged in w/ Read/Edit privileges.")};
    QByteArray expected;
    for (const QString& line : lines) {
        QVERIFY(log.append(line, error));
        expected += line.toLatin1() + "\r\n";
    }
    QVERIFY(log.readAll(bytes, error));
    QCOMPARE(bytes, expected);
    QVERIFY(log.readLatest(10, 1000, bytes, partial, error));
    QCOMPARE(bytes, expected);
    QVERIFY(!partial);
    QVERIFY(log.readLatest(2, 1000, bytes, partial, error));
    QCOMPARE(bytes, expected.mid(expected.indexOf('\n') + 1));
    QVERIFY(partial);
    // A byte limit cutting into a line leaves that line out whole.
    QVERIFY(log.readLatest(10, expected.size() - 3, bytes, partial, error));
    QCOMPARE(bytes, expected.mid(expected.indexOf('\n') + 1));

    const QString code = s->shared().accessCode();
    QVERIFY(!code.isEmpty());
    QCOMPARE(s->shared().accessCode(), code);
}

void tst_StorageSuite::contentsRoundTripUnchanged()
{
    const std::unique_ptr<Storage> from = make();
    if (!from)
        QSKIP("no PostgreSQL to test against");
    FileError error;
    StoreContents contents;
    for (int i = 1; i <= 40; ++i)
        contents.citations.push_back(records({generated(i)}).front());
    contents.users << UserRecord::fromBytes(UserBytes500::user("Jane", "Doe", "abcd", 4).bytes().constData(), 500)
                   << UserRecord::fromBytes(UserBytes500::user("Zo\xeb", "M\xfcller", "wx", 1).bytes().constData(), 500);
    contents.userLog = "03/07/2026 at 14:05:09 - Jane Doe logged out.\r\n";
    QVERIFY(from->replaceContents(contents, error));

    StoreContents read;
    QVERIFY(from->readContents(read, error));
    const auto same = [](const StoreContents& a, const StoreContents& b) {
        QList<QByteArray> ac, bc, au, bu;
        for (const CitationRecord& r : a.citations)
            ac << r.bytes();
        for (const CitationRecord& r : b.citations)
            bc << r.bytes();
        for (const UserRecord& u : a.users)
            au << u.bytes();
        for (const UserRecord& u : b.users)
            bu << u.bytes();
        return ac == bc && au == bu && a.userLog == b.userLog;
    };
    QVERIFY(same(read, contents));

    // Into a second store that already holds something: replaced whole.
    const std::unique_ptr<Storage> to = make();
    CitationKey key = 0;
    QVERIFY(to->citations().add(records({generated(99)}).front(), key, error));
    QVERIFY(to->userLog().append(QStringLiteral("old line"), error));
    QVERIFY(to->replaceContents(read, error));
    StoreContents copied;
    QVERIFY(to->readContents(copied, error));
    QVERIFY(same(copied, contents));
    QCOMPARE(to->citations().count(error), 40);

    // Emptied again.
    QVERIFY(to->replaceContents(StoreContents(), error));
    QVERIFY(to->readContents(copied, error));
    QVERIFY(copied.citations.empty() && copied.users.isEmpty() && copied.userLog.isEmpty());
}

QTEST_MAIN(tst_StorageSuite)
#include "tst_storagesuite.moc"
