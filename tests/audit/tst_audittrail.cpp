// The audit trail read back as an outside reader would: the file's lines
// parsed with Qt's JSON reader, tampered copies made by editing the bytes
// (and forged lines hashed here, not by the program's encoder), and the
// verdict of a check on each.
#include "DataFiles.h"
#include "Doubles.h"
#include "UserFiles.h"
#include "audit/AuditTrail.h"
#include "session/ProcessState.h"
#include "storage/AuditEvents.h"
#include "storage/AuditStore.h"
#include "users/Passwords.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSysInfo>
#include <QTest>

Q_DECLARE_METATYPE(AuditEntry)

class tst_AuditTrail : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void eachActionWritesOneEntry_data();
    void eachActionWritesOneEntry();
    void editListsExactlyTheChangedFields();
    void deletedCitationIsRebuiltByteForByte();
    void passwordsAppearNowhere();
    void verifyNamesTheDamage_data();
    void verifyNamesTheDamage();
    void whatACrashLeavesIsPutRight_data();
    void whatACrashLeavesIsPutRight();
    void withdrawnEntryLeavesNoTrace();
    void filtersFindEntriesNewestFirst();
    void damagedIndexIsRebuilt();
};

namespace {

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The count's record as the layout gives it: 20 digits, the hash, the state.
QByteArray countBytes(qint64 n, const QByteArray& hash, char state = ' ')
{
    return QByteArray::number(n).rightJustified(20, '0') + ' ' + hash + ' ' + state + "\r\n";
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QList<QByteArray> trailLines()
{
    QList<QByteArray> lines = readBytes(QStringLiteral("Sennet.Audit")).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray& l : lines)
        if (l.endsWith('\r'))
            l.chop(1);
    return lines;
}

QJsonObject lineObject(const QByteArray& line) { return QJsonDocument::fromJson(line).object(); }

AuditFilter filter(const QString& citation, const QString& user = {}, std::optional<AuditAction> action = {},
                   const QDate& from = {}, const QDate& to = {})
{
    AuditFilter f;
    f.citation = citation;
    f.user = user;
    f.action = action;
    f.from = from;
    f.to = to;
    return f;
}

QByteArray sha256(const QByteArray& bytes) { return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex(); }

// A citation with every text at its full width: capitals, accents, notes in
// CR LF lines.
CitationBytes3000 fullCitation(const QByteArray& number)
{
    CitationBytes3000 c = CitationBytes3000::sample(number, QDate(2025, 11, 30));
    c.text("IssuingOfficer", "OFFICER \xC9LODIE BR\xDC" "CKNER-VASQUEZ")
        .text("DefendantName", "J\xD6RG \xC5STR\xD6M-M\xDCLLER JR")
        .text("Notes", QByteArray("Line one\r\nLine two \xE9t\xE9\r\n").repeated(60))
        .date("CourtDate", QDate(2026, 1, 15), QTime(9, 30))
        .int16("MeasuredSpeed", 87)
        .int16("PostedSpeed", 55);
    return c;
}

CitationRecord record(const CitationBytes3000& bytes)
{
    return CitationRecord::fromBytes(bytes.bytes().constData(), bytes.bytes().size());
}

UserRecord user(const QByteArray& first, const QByteArray& last, const QByteArray& password, qint16 level)
{
    const QByteArray bytes = UserBytes500::user(first, last, password, level).bytes();
    return UserRecord::fromBytes(bytes.constData(), bytes.size());
}

bool append(AuditEntry entry)
{
    FileError error;
    const bool ok = recordAudit(std::move(entry), error);
    if (!ok)
        qWarning().noquote() << error.message();
    return ok;
}

// A trail of `count` entries written through the program.
void writeTrail(int count)
{
    for (int i = 1; i <= count; ++i)
        QVERIFY(append(AuditEvents::citationPrinted(record(CitationBytes3000::sample("C" + QByteArray::number(i),
                                                                                      QDate(2026, 1, i))),
                                                    i, i % 2)));
}

} // namespace

void tst_AuditTrail::initTestCase()
{
    // A zone with an offset, and one the moment below is not in summer time.
    qputenv("TZ", "America/New_York");
    InitialiseProcessState();
}

void tst_AuditTrail::init()
{
    setAuditStore(nullptr);
    CurrentUserName = QStringLiteral("Jane Doe");
    CurrentAccessLevel = 4;
}

void tst_AuditTrail::eachActionWritesOneEntry_data()
{
    QTest::addColumn<AuditEntry>("entry");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("user");
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("citation");
    QTest::addColumn<int>("key");
    QTest::addColumn<QJsonObject>("details"); // members the details must hold

    const CitationRecord c = record(CitationBytes3000::sample("A-2201", QDate(2026, 2, 1)));
    const UserRecord u = user("Bob", "Roe", "Pass11", 2);
    const QString jane = QStringLiteral("Jane Doe");
    QTest::newRow("added") << AuditEvents::citationAdded(c, 7) << "citation-added" << jane << 4 << "A-2201" << 7
                           << QJsonObject{{"fields", QJsonObject{{"FormatVersion", 315}, {"CitationNumber", "A-2201"},
                                                                 {"OffenseDate", "2026-02-01"}, {"CodeSection", "46.2-862"},
                                                                 {"OccurredOn", "Rt 1 NB"}, {"OccurredAt", "MM 12"},
                                                                 {"StateOrLocal", 2}, {"SpeedMethod", 3}, {"TestType", 4},
                                                                 {"Weather", 1}, {"RoadSurface", 1}, {"RoadType", 1},
                                                                 {"Traffic", 1}, {"Lighting", 1}, {"SceneDisposition", 1}}}};
    QTest::newRow("printed sheet") << AuditEvents::citationPrinted(c, 7, true) << "citation-printed" << jane << 4
                                   << "A-2201" << 7 << QJsonObject{{"form", "sheet"}, {"notes", true}};
    QTest::newRow("printed list") << AuditEvents::listPrinted(1234, "all citations") << "list-printed" << jane << 4
                                  << "" << 0 << QJsonObject{{"form", "list"}, {"count", 1234}};
    QTest::newRow("exported") << AuditEvents::listExported("/tmp/out.csv", 12, true) << "list-exported" << jane << 4
                              << "" << 0
                              << QJsonObject{{"file", "/tmp/out.csv"}, {"count", 12}, {"columns", "every field"}};
    QTest::newRow("statistics") << AuditEvents::statisticsPrinted(40, QDate(2025, 1, 1), QDate(2025, 12, 31))
                                << "statistics-printed" << jane << 4 << "" << 0
                                << QJsonObject{{"count", 40}, {"from", "2025-01-01"}, {"to", "2025-12-31"}};
    QTest::newRow("user added") << AuditEvents::userAdded(u) << "user-added" << jane << 4 << "" << 0
                                << QJsonObject{{"user", QJsonObject{{"name", "Bob Roe"}, {"level", 2},
                                                                    {"levelName", "Read/Edit"}, {"comments", ""}}}};
    QTest::newRow("user removed") << AuditEvents::userRemoved(u) << "user-removed" << jane << 4 << "" << 0
                                  << QJsonObject{{"user", QJsonObject{{"name", "Bob Roe"}, {"level", 2},
                                                                      {"levelName", "Read/Edit"}, {"comments", ""}}}};
    QTest::newRow("log-in") << AuditEvents::logIn() << "log-in" << jane << 4 << "" << 0 << QJsonObject{};
    QTest::newRow("log-out") << AuditEvents::logOut() << "log-out" << jane << 4 << "" << 0 << QJsonObject{};
    QTest::newRow("failed log-in") << AuditEvents::failedLogIn("Bob Roe", "wrong password") << "failed-log-in"
                                   << "Bob Roe" << 0 << "" << 0 << QJsonObject{{"reason", "wrong password"}};
    QTest::newRow("locked out") << AuditEvents::userLockedOut("Bob Roe", 3, 15) << "user-locked-out" << "Bob Roe" << 0
                                << "" << 0 << QJsonObject{{"attempts", 3}, {"minutes", 15}};
    QTest::newRow("access code") << AuditEvents::accessCodeUsed("unlock Bob Roe", true) << "access-code-used" << jane
                                 << 4 << "" << 0 << QJsonObject{{"purpose", "unlock Bob Roe"}, {"accepted", true}};
    QTest::newRow("backup") << AuditEvents::backup("/media/usb", {"Sennet.Data", "User.List"}, "done") << "backup"
                            << jane << 4 << "" << 0
                            << QJsonObject{{"folder", "/media/usb"}, {"files", QJsonArray{"Sennet.Data", "User.List"}},
                                           {"result", "done"}};
    QTest::newRow("restore") << AuditEvents::restore("/media/usb", {"Sennet.Data"}, "No space left on device")
                             << "restore" << jane << 4 << "" << 0
                             << QJsonObject{{"folder", "/media/usb"}, {"result", "No space left on device"}};
    QTest::newRow("conversion") << AuditEvents::conversion("Sennet.Data", 812, "done") << "conversion" << jane << 4
                                << "" << 0 << QJsonObject{{"file", "Sennet.Data"}, {"count", 812}};
    QTest::newRow("import") << AuditEvents::import("/home/jd/handheld.csv", 57) << "import" << jane << 4 << "" << 0
                            << QJsonObject{{"file", "handheld.csv"}, {"count", 57}};
}

void tst_AuditTrail::eachActionWritesOneEntry()
{
    QFETCH(AuditEntry, entry);
    QFETCH(QString, action);
    QFETCH(QString, user);
    QFETCH(int, level);
    QFETCH(QString, citation);
    QFETCH(int, key);
    QFETCH(QJsonObject, details);
    TempDataFolder folder;
    FixedClock clock(QDateTime(QDate(2026, 3, 7), QTime(14, 5, 9)));
    QVERIFY(append(AuditEvents::logIn()));
    QVERIFY(append(entry));

    const QList<QByteArray> lines = trailLines();
    QCOMPARE(lines.size(), 2);
    const QJsonObject o = lineObject(lines[1]);
    QCOMPARE(o.value("entry").toInt(), 2);
    QCOMPARE(o.value("utc").toString(), QStringLiteral("2026-03-07T19:05:09Z"));
    QCOMPARE(o.value("local").toString(), QStringLiteral("2026-03-07T14:05:09-05:00"));
    QCOMPARE(o.value("user").toString(), user);
    QCOMPARE(o.value("level").toInt(), level);
    QCOMPARE(o.value("desk").toString(), QSysInfo::machineHostName());
    QCOMPARE(o.value("action").toString(), action);
    QCOMPARE(o.value("citation").toString(), citation);
    QCOMPARE(o.value("key").toInt(), key);
    const QJsonObject got = o.value("details").toObject();
    for (auto it = details.begin(); it != details.end(); ++it)
        QVERIFY2(got.value(it.key()) == it.value(), qPrintable(it.key() + ": " + QJsonDocument(got).toJson()));
    // Chained to the entry before, and hashed over its own bytes.
    QCOMPARE(o.value("prev").toString().toLatin1(), lineObject(lines[0]).value("hash").toString().toLatin1());
    QCOMPARE(o.value("hash").toString().toLatin1(), sha256(lines[1].left(lines[1].lastIndexOf(",\"hash\":"))));
    QCOMPARE(readBytes("Sennet.AuditCount"),
             "00000000000000000002 " + o.value("hash").toString().toLatin1() + "  \r\n");
}

void tst_AuditTrail::editListsExactlyTheChangedFields()
{
    TempDataFolder folder;
    const CitationBytes3000 before = fullCitation("B-1");
    CitationBytes3000 after = before;
    after.text("DefendantName", "ZO\xCB N\xDA\xD1" "EZ")
        .date("CourtDate", 0.0)
        .int16("MeasuredSpeed", 91)
        .text("CitationNumber", "B-1A");
    QVERIFY(append(AuditEvents::citationEdited(record(before), record(after), 12)));

    const QJsonObject o = lineObject(trailLines().value(0));
    QCOMPARE(o.value("citation").toString(), QStringLiteral("B-1A"));
    QJsonObject changes;
    for (const QJsonValue& v : o.value("details").toObject().value("changes").toArray())
        changes.insert(v.toObject().value("field").toString(),
                       QJsonArray{v.toObject().value("old"), v.toObject().value("new")});
    const QJsonObject expected{
        {"CitationNumber", QJsonArray{"B-1", "B-1A"}},
        {"DefendantName", QJsonArray{QString::fromLatin1("J\xD6RG \xC5STR\xD6M-M\xDCLLER JR"),
                                     QString::fromLatin1("ZO\xCB N\xDA\xD1" "EZ")}},
        {"MeasuredSpeed", QJsonArray{87, 91}},
        {"CourtDate", QJsonArray{"2026-01-15T09:30:00", QJsonValue::Null}},
    };
    QCOMPARE(changes, expected);
}

void tst_AuditTrail::deletedCitationIsRebuiltByteForByte()
{
    TempDataFolder folder;
    const CitationBytes3000 c = fullCitation("D-77");
    QVERIFY(append(AuditEvents::citationDeleted(record(c), 3)));
    const QJsonObject details = lineObject(trailLines().value(0)).value("details").toObject();
    QCOMPARE(QByteArray::fromBase64(details.value("record").toString().toLatin1()), c.bytes());
    // The fields a reader sees say the same.
    const QJsonObject fields = details.value("fields").toObject();
    QCOMPARE(fields.value("DefendantName").toString(), QString::fromLatin1("J\xD6RG \xC5STR\xD6M-M\xDCLLER JR"));
    QCOMPARE(fields.value("Notes").toString(), QString::fromLatin1(QByteArray("Line one\r\nLine two \xE9t\xE9\r\n").repeated(60)));
}

void tst_AuditTrail::passwordsAppearNowhere()
{
    TempDataFolder folder;
    const QStringList typed{"Secret1", "Other22", "Guess99", "newpw42"};
    UserRecord jane = user("Jane", "Doe", "", 4);
    jane.setPassword(ScramblePassword(typed[0]));
    UserRecord changed = jane;
    changed.setPassword(ScramblePassword(typed[3]));
    changed.setAccessLevel(2);
    UserRecord bob = user("Bob", "Roe", "", 1);
    bob.setPassword(ScramblePassword(typed[1]));
    QVERIFY(append(AuditEvents::userAdded(jane)));
    QVERIFY(append(AuditEvents::userAdded(bob)));
    QVERIFY(append(AuditEvents::failedLogIn("Bob Roe", "wrong password")));
    QVERIFY(append(AuditEvents::userChanged(jane, changed, true)));
    QVERIFY(append(AuditEvents::userRemoved(bob)));

    const QByteArray bytes = readBytes("Sennet.Audit");
    QCOMPARE(trailLines().size(), 5);
    for (const QString& p : typed)
        QVERIFY2(!bytes.contains(p.toUtf8()), qPrintable(p));
    for (const UserRecord& u : {jane, changed, bob})
        QVERIFY(!bytes.contains(u.Password().toUtf8()));
    const QJsonArray changes = lineObject(trailLines()[3]).value("details").toObject().value("changes").toArray();
    QCOMPARE(changes, (QJsonArray{QJsonObject{{"field", "AccessLevel"}, {"old", "Read/Edit/Add/Delete"}, {"new", "Read/Edit"}},
                                  QJsonObject{{"field", "Password"}, {"changed", true}}}));
}

void tst_AuditTrail::verifyNamesTheDamage_data()
{
    QTest::addColumn<int>("damage");
    QTest::addColumn<qint64>("firstBad");
    QTest::addColumn<QString>("problem");
    QTest::newRow("clean") << 0 << qint64(0) << QString();
    QTest::newRow("changed") << 1 << qint64(3) << "Entry 3 was changed: its content no longer matches its hash.";
    QTest::newRow("removed") << 2 << qint64(3) << "Entry 3 was removed: entry 4 follows entry 2.";
    QTest::newRow("inserted by hand") << 3 << qint64(3)
                                      << "Line 3 was inserted: it is not an entry of the trail, and entry 3 follows it.";
    QTest::newRow("inserted and hashed") << 4 << qint64(3) << "Line 3 was inserted: entry 3 follows the entry before it.";
    QTest::newRow("cut mid-entry") << 5 << qint64(5) << "Entry 5 is cut off: the trail ends %1 bytes into it.";
    QTest::newRow("last dropped") << 6 << qint64(5)
                                  << "Entry 5, the last one, was removed: \"Sennet.AuditCount\" counts 5 entries.";
    QTest::newRow("last replaced") << 7 << qint64(5)
                                   << "Entry 5, the last one, was replaced: its hash is not the one \"Sennet.AuditCount\" keeps.";
    // Near a count cut off while written, but with a byte of neither record.
    QTest::newRow("count with a foreign byte") << 8 << qint64(5)
                                               << "Entry 5, the last one, was replaced: its hash is not the one \"Sennet.AuditCount\" keeps.";
    QTest::newRow("count no record at all") << 9 << qint64(5)
                                            << "The file \"Sennet.AuditCount\" is damaged: it does not hold the count of the audit trail's entries";
}

void tst_AuditTrail::verifyNamesTheDamage()
{
    QFETCH(int, damage);
    QFETCH(qint64, firstBad);
    QFETCH(QString, problem);
    TempDataFolder folder;
    writeTrail(5);
    QList<QByteArray> lines = trailLines();
    // A line made by hand, chained onto line 2 and hashed as the program hashes.
    auto forged = [&](int number, const QByteArray& previous) {
        const QByteArray content = "{\"entry\":" + QByteArray::number(number)
            + ",\"utc\":\"2026-01-01T00:00:00Z\",\"local\":\"2026-01-01T00:00:00Z\",\"user\":\"Mallory\",\"level\":4,"
              "\"desk\":\"x\",\"action\":\"log-in\",\"citation\":null,\"key\":null,\"details\":{},\"prev\":\""
            + previous + "\"";
        return content + ",\"hash\":\"" + sha256(content) + "\"}";
    };
    int cut = 0;
    switch (damage) {
    case 1: lines[2].replace("Jane Doe", "Jane Dox"); break;
    case 2: lines.removeAt(2); break;
    case 3: lines.insert(2, "{\"entry\":3,\"note\":\"typed in\"}"); break;
    case 4: lines.insert(2, forged(3, lineObject(lines[1]).value("hash").toString().toLatin1())); break;
    case 6: lines.removeLast(); break;
    case 7: lines[4] = forged(5, lineObject(lines[3]).value("hash").toString().toLatin1()); break;
    default: break;
    }
    QByteArray bytes = lines.join("\r\n") + "\r\n";
    if (damage == 5) {
        cut = int(lines.last().size()) / 2;
        bytes.chop(lines.last().size() + 2 - cut);
        problem = problem.arg(cut);
    }
    writeBytes("Sennet.Audit", bytes);
    if (damage >= 8) {
        // Entry 4's count written over by entry 5's, but for one byte of the hash.
        const QByteArray counted = readBytes("Sennet.AuditCount");
        const QByteArray behind = countBytes(4, lineObject(lines[3]).value("hash").toString().toLatin1());
        QByteArray count = counted.left(30) + behind.mid(30);
        for (char c : QByteArray("0123456789abcdef"))
            if (c != counted[60] && c != behind[60])
                count[60] = c;
        if (damage == 9)
            count[70] = 'g';
        writeBytes("Sennet.AuditCount", count);
    }

    AuditTrailFile trail;
    const AuditVerdict v = trail.verify();
    QCOMPARE(v.problem, problem);
    QCOMPARE(v.clean, damage == 0);
    QCOMPARE(v.firstBad, firstBad);
    QCOMPARE(readBytes("Sennet.Audit"), bytes); // a check changes nothing
}

void tst_AuditTrail::whatACrashLeavesIsPutRight_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("count one behind") << 0;
    QTest::newRow("count cut off while brought up") << 1;
    QTest::newRow("count cut off while marking a withdrawal") << 2;
    QTest::newRow("entry cut off while added") << 3;
}

// Each as a kill in the middle of writing the trail or its count leaves it:
// a check notes it without calling it damage and changes nothing; the next
// entry puts it right.
void tst_AuditTrail::whatACrashLeavesIsPutRight()
{
    QFETCH(int, kind);
    TempDataFolder folder;
    writeTrail(3);
    const QList<QByteArray> lines = trailLines();
    auto hash = [&](int entry) { return lineObject(lines[entry - 1]).value("hash").toString().toLatin1(); };
    switch (kind) {
    case 0: writeBytes("Sennet.AuditCount", countBytes(2, hash(2))); break;
    case 1: writeBytes("Sennet.AuditCount", countBytes(3, hash(3)).left(40) + countBytes(2, hash(2)).mid(40)); break;
    case 2: writeBytes("Sennet.AuditCount", countBytes(2, hash(2), 'x').left(50) + countBytes(3, hash(3)).mid(50)); break;
    case 3: writeBytes("Sennet.Audit", readBytes("Sennet.Audit") + "{\"entry\":4,\"utc\":\"2026-"); break;
    }
    const QByteArray trailBefore = readBytes("Sennet.Audit"), countBefore = readBytes("Sennet.AuditCount");
    AuditTrailFile trail;
    AuditVerdict v = trail.verify();
    QVERIFY2(v.clean, qPrintable(v.problem));
    QCOMPARE(v.notes.size(), 1);
    QCOMPARE(v.entries, 3);
    QCOMPARE(readBytes("Sennet.Audit"), trailBefore);
    QCOMPARE(readBytes("Sennet.AuditCount"), countBefore);
    QVERIFY(append(AuditEvents::logOut()));
    v = trail.verify();
    QVERIFY2(v.clean && v.notes.isEmpty(), qPrintable(v.problem + v.notes.join(' ')));
    QCOMPARE(v.entries, 4);
}

void tst_AuditTrail::withdrawnEntryLeavesNoTrace()
{
    TempDataFolder folder;
    writeTrail(2);
    const QByteArray trailBefore = readBytes("Sennet.Audit");
    const QByteArray countBefore = readBytes("Sennet.AuditCount");
    const AuditEntry e = AuditEvents::citationDeleted(record(fullCitation("W-1")), 2);
    FileError error;
    qint64 number = 0;
    QVERIFY(recordAudit(e, error, &number));
    QCOMPARE(number, 3);
    QVERIFY(!auditStore().withdraw(2, error)); // only the last one
    QVERIFY2(auditStore().withdraw(3, error), qPrintable(error.message()));
    QCOMPARE(readBytes("Sennet.Audit"), trailBefore);
    QCOMPARE(readBytes("Sennet.AuditCount"), countBefore);
    QVERIFY(auditStore().verify().clean);

    // Cut short after its count was marked: the next entry finishes it.
    QVERIFY(recordAudit(e, error));
    const QByteArray marked = "00000000000000000002 " + lineObject(trailLines()[1]).value("hash").toString().toLatin1() + " x\r\n";
    writeBytes("Sennet.AuditCount", marked);
    AuditVerdict v = auditStore().verify();
    QVERIFY(v.clean);
    QCOMPARE(v.notes.size(), 1);
    QVERIFY(append(AuditEvents::logOut()));
    const QList<QByteArray> lines = trailLines();
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lineObject(lines[2]).value("action").toString(), QStringLiteral("log-out"));
    QVERIFY(auditStore().verify().clean);
}

void tst_AuditTrail::filtersFindEntriesNewestFirst()
{
    TempDataFolder folder;
    // Written as the program writes them, but in bulk: entry i by user i % 3,
    // action i % 4 of four, citation "N-(i % 50)", on day i % 28 of January.
    const QStringList users{"Jane Doe", "Bob Roe", QString::fromLatin1("\xC9lodie Br\xFC" "ckner")};
    const AuditAction actions[] = {AuditAction::CitationEdited, AuditAction::CitationPrinted, AuditAction::LogIn,
                                   AuditAction::ListExported};
    constexpr int Count = 4000;
    QByteArray bytes, previous = AuditLine::genesisHash();
    for (int i = 1; i <= Count; ++i) {
        AuditEntry e;
        e.number = i;
        e.time = QDateTime(QDate(2026, 1, 1 + i % 28), QTime(12, 0)).addSecs(i);
        e.user = users[i % 3];
        e.level = 3;
        e.action = actions[i % 4];
        if (i % 4 < 2) {
            e.citation = QStringLiteral("N-%1").arg(i % 50);
            e.key = i % 50 + 1;
        }
        const QByteArray line = AuditLine::encode(e, previous);
        previous = lineObject(line).value("hash").toString().toLatin1();
        bytes += line + "\r\n";
    }
    writeBytes("Sennet.Audit", bytes);
    writeBytes("Sennet.AuditCount", QByteArray::number(Count).rightJustified(20, '0') + ' ' + previous + "  \r\n");

    auto expected = [&](const std::function<bool(int)>& pick) {
        QList<qint64> numbers;
        for (int i = Count; i >= 1; --i)
            if (pick(i))
                numbers << i;
        return numbers;
    };
    struct Case {
        AuditFilter filter;
        std::function<bool(int)> pick;
    };
    const QList<Case> cases{
        {{}, [](int) { return true; }},
        {filter(" n-7 "), [](int i) { return i % 4 < 2 && i % 50 == 7; }},
        {filter({}, QString::fromLatin1("\xC9LODIE BR\xDC" "CKNER")), [](int i) { return i % 3 == 2; }},
        {filter({}, {}, AuditAction::LogIn), [](int i) { return i % 4 == 2; }},
        {filter({}, "Bob Roe", {}, QDate(2026, 1, 5), QDate(2026, 1, 6)),
         [](int i) { return i % 3 == 1 && (1 + i % 28 == 5 || 1 + i % 28 == 6); }},
    };
    AuditTrailFile trail;
    for (const Case& c : cases) {
        const QList<qint64> want = expected(c.pick);
        QList<qint64> got;
        qint64 total = -1;
        for (qint64 first = 0; first == 0 || first < total; first += 500) {
            QList<AuditEntry> page;
            FileError error;
            QVERIFY2(trail.read(c.filter, first, 500, page, total, error), qPrintable(error.message()));
            for (const AuditEntry& e : page)
                got << e.number;
            if (total == 0)
                break;
        }
        QCOMPARE(total, want.size());
        QCOMPARE(got, want);
    }
}

void tst_AuditTrail::damagedIndexIsRebuilt()
{
    TempDataFolder folder;
    writeTrail(6);
    AuditTrailFile reader;
    QList<AuditEntry> page;
    qint64 total = 0;
    FileError error;
    QVERIFY(reader.read({}, 0, 10, page, total, error));
    QCOMPARE(total, 6);
    const QByteArray index = readBytes("Sennet.AuditIndex");
    QCOMPARE(index.size(), 6 * 48);
    for (const QByteArray& damaged : {index.left(100), QByteArray(index.size(), '\x7f'), index + index})
    {
        writeBytes("Sennet.AuditIndex", damaged);
        AuditTrailFile fresh;
        QVERIFY(fresh.read(filter("c4"), 0, 10, page, total, error));
        QCOMPARE(total, 1);
        QCOMPARE(page.value(0).number, 4);
    }
    // Entries added since a reader last looked are found by it.
    QVERIFY(append(AuditEvents::citationPrinted(record(CitationBytes3000::sample("C4", QDate(2026, 2, 2))), 4, false)));
    QVERIFY(reader.read(filter("C4"), 0, 10, page, total, error));
    QCOMPARE(total, 2);
    QCOMPARE(page.value(0).number, 7);
}

QTEST_GUILESS_MAIN(tst_AuditTrail)
#include "tst_audittrail.moc"
