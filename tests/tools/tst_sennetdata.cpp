// sennet-data run as a child process on generated data folders: verify's
// findings and exit status on clean, damaged and older-format folders,
// convert, a dump that gives back every field, passwords never shown, the
// CSV export and counts, and no file ever changed by the reading commands.
#include "CsvReader.h"
#include "DataFiles.h"
#include "IntentBytes.h"
#include "UserFiles.h"
#include "Doubles.h"
#include "audit/AuditTrail.h"
#include "storage/AuditEvents.h"
#include "store/CitationRecord.h"
#include "store/DataFileNames.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <cmath>
#include <limits>

namespace {

struct Run {
    int status = -1;
    QByteArray out, err;
};

Run run(const QString& folder, const QStringList& args)
{
    QProcess p;
    p.setProgram(QStringLiteral(SENNET_DATA_EXE));
    p.setArguments(QStringList{QStringLiteral("--data-folder"), folder} + args);
    p.start();
    Run r;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.status = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every file of a folder with its bytes.
QMap<QString, QByteArray> snapshot(const QString& folder)
{
    QMap<QString, QByteArray> out;
    for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden))
        out[info.fileName()] = readFile(info.filePath());
    return out;
}

// A clean installation: citations, one user with full access, a log.
void writeCleanFolder(const QString& folder)
{
    WriteCitations(folder + "/Sennet.Data",
                   {CitationBytes3000::sample("100", QDate(2006, 1, 5)).date("DateEntered", QDate(2006, 1, 6)),
                    CitationBytes3000::sample("101", QDate(2006, 2, 7), "18.2-266")});
    WriteUsers(folder + "/User.List", {UserBytes500::user("Jane", "Doe", "Secret1", 4),
                                       UserBytes500::user("Bob", "Roe", "Other22", 1)});
    writeFile(folder + "/User.Log", "07/04/2006 at 14:05:30 - Jane Doe logged in w/ Read/Edit/Add/Delete privileges.\r\n"
                                    "07/04/2006 at 14:09:01 - Jane Doe logged out.\r\n");
}

// A citation with every field set: texts of their full width with
// accented letters, quotes and line breaks, every number and date distinct.
CitationBytes3000 fullCitation(int seed)
{
    QRandomGenerator rng{quint32(seed)};
    CitationBytes3000 r;
    for (const RecordField& f : CitationBytes3000::layout()) {
        if (f.type == 't') {
            QByteArray text;
            for (int i = 0; i < f.width; ++i)
                text += "AbZ9\xe9\xfc\"\\,;'-"[rng.bounded(13)];
            if (QByteArray(f.name) == "Notes")
                text = "First \"line\"\r\nSecond\tline \xe9\r\n" + text.left(f.width - 40) + "end";
            r.text(f.name, text);
        } else if (f.type == 'i') {
            r.int16(f.name, qint16(rng.bounded(-300, 300)));
        }
    }
    r.int16("FormatVersion", 315); // else the file reads as one of an older version
    r.date("OffenseDate", QDate(2006, 1, 1).addDays(seed))
        .date("OffenseTime", QDate(1899, 12, 30), QTime(13, 7, 9))
        .date("DateEntered", QDate(2006, 3, 4), QTime(9, 30, 15))
        .date("TimeEntered", QDate(2006, 3, 4), QTime(9, 30, 15))
        .date("DOB", QDate(1960, 12, 31))
        .date("LicenseExpiration", 0.0)
        .date("CourtDate", QDate(2007, 2, 28))
        .date("CourtTime", QDate(1899, 12, 30), QTime(10, 45));
    return r;
}

// The value of a dumped date: "hh:mm:ss", "yyyy-mm-dd" or both, null for 0.
double dumpedDate(const QJsonValue& v)
{
    if (v.isNull())
        return 0.0;
    const QString s = v.toString();
    const QDateTime base(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
    if (s.size() == 8)
        return QTime::fromString(s, "HH:mm:ss").msecsSinceStartOfDay() / 86400000.0;
    QDateTime moment = s.size() == 10 ? QDateTime(QDate::fromString(s, Qt::ISODate), QTime(0, 0), Qt::UTC)
                                      : QDateTime::fromString(s + "Z", Qt::ISODate);
    return base.msecsTo(moment) / 86400000.0;
}

} // namespace

class tst_SennetData : public QObject {
    Q_OBJECT
private slots:
    void commandLine()
    {
        QTemporaryDir dir;
        Run help = run(dir.path(), {"--help"});
        QCOMPARE(help.status, 0);
        for (const char* section : {"NAME", "SYNOPSIS", "DESCRIPTION", "COMMANDS", "DAMAGED CITATIONS", "OPTIONS", "EXIT STATUS"})
            QVERIFY2(help.out.contains(QByteArray("\n") + section + "\n") || help.out.startsWith(section), section);
        const Run version = run(dir.path(), {"--version"});
        QCOMPARE(version.status, 0);
        QVERIFY2(version.out.startsWith("sennet-data (Sennet Version w") && version.out.endsWith(")\n"),
                 version.out.constData());
        QCOMPARE(run(dir.path(), {}).status, 2);
        QCOMPARE(run(dir.path(), {"frobnicate"}).status, 2);
        QCOMPARE(run(dir.path(), {"verify", "--bogus"}).status, 2);
        QCOMPARE(run(dir.path(), {"dump", "passwords"}).status, 2);
        QCOMPARE(run(dir.path(), {"stats", "--from", "31/12/2006"}).status, 2);
        QCOMPARE(run(dir.path(), {"verify", "--output", "x.csv"}).status, 2);
        QCOMPARE(run(dir.path(), {"verify", "--include-damaged"}).status, 2);
        QCOMPARE(run(dir.path(), {"dump", "--include-damaged", "users"}).status, 2);
        const Run missing = run(dir.path() + "/nowhere", {"verify"});
        QCOMPARE(missing.status, 2);
        QVERIFY(missing.err.contains("cannot be opened"));
    }

    void auditCommands()
    {
        TempDataFolder dir; // the working folder, where the program writes its trail
        qputenv("TZ", "America/New_York"); // summer time begins between the entries
        {
            AuditTrailFile trail;
            FixedClock clock(QDateTime(QDate(2026, 3, 7), QTime(14, 5, 9)));
            const CitationBytes3000 c = CitationBytes3000::sample("A-1", QDate(2026, 3, 1));
            const CitationRecord r = CitationRecord::fromBytes(c.bytes().constData(), c.bytes().size());
            QList<AuditEntry> entries{AuditEvents::citationAdded(r, 1), AuditEvents::logIn(),
                                      AuditEvents::citationPrinted(r, 1, false),
                                      AuditEvents::failedLogIn("Bob Roe", "wrong password")};
            for (int i = 0; i < entries.size(); ++i) {
                AuditEntry& e = entries[i];
                e.time = Now().addDays(i);
                e.user = e.user.isEmpty() ? QStringLiteral("Jane Doe") : e.user;
                FileError error;
                QVERIFY(trail.append(e, error));
            }
        }
        const auto before = snapshot(dir.path());
        const Run clean = run(dir.path(), {"audit", "verify"});
        QCOMPARE(clean.status, 0);
        QCOMPARE(clean.out, QByteArray("Sennet.Audit: 4 entries, the chain is whole\n"));

        const Run dump = run(dir.path(), {"audit", "dump", "--citation", " a-1"});
        QCOMPARE(dump.status, 0);
        const QList<QByteArray> stored = readFile(dir.file("Sennet.Audit")).split('\n');
        QCOMPARE(dump.out, stored[0].chopped(1) + '\n' + stored[2].chopped(1) + '\n');
        const Run ranged = run(dir.path(), {"audit", "dump", "--from", "2026-03-08", "--to", "2026-03-09"});
        QCOMPARE(ranged.out.count('\n'), 2);
        QCOMPARE(QJsonDocument::fromJson(ranged.out.split('\n')[0]).object().value("action").toString(), "log-in");

        const Run csv = run(dir.path(), {"audit", "export-csv", "--action", "failed-log-in", "--output", dir.file("a.csv")});
        QCOMPARE(csv.status, 0);
        QCOMPARE(csv.err, QByteArray("1 entry written to ") + dir.file("a.csv").toUtf8() + '\n');
        const QByteArray table = readFile(dir.file("a.csv"));
        QVERIFY(table.startsWith("\xEF\xBB\xBF" "Entry,UTC,Local Time,User,Access Level,Desk,Action,"));
        QVERIFY(table.contains("\r\n4,2026-03-10T18:05:09Z,2026-03-10T14:05:09-04:00,Bob Roe,0,"));
        QFile::remove(dir.file("a.csv"));
        QCOMPARE(snapshot(dir.path()), before); // reading changes nothing

        for (const QStringList& wrong : {QStringList{"audit"}, {"audit", "frob"}, {"audit", "verify", "--user", "x"},
                                         {"audit", "dump", "--action", "sneeze"}, {"audit", "dump", "--output", "x"}})
            QCOMPARE(run(dir.path(), wrong).status, 2);

        // Damaged copies, each named with status 1.
        const QByteArray whole = readFile(dir.file("Sennet.Audit"));
        QByteArray changed = whole;
        changed.replace("Jane Doe", "Jane Dox");
        const struct {
            QByteArray bytes;
            QByteArray named;
        } damaged[] = {
            {changed, "PROBLEM: Entry 1 was changed"},
            {whole.left(whole.lastIndexOf('\n', whole.size() - 2) + 1), "PROBLEM: Entry 4, the last one, was removed"},
            {whole.chopped(50), "PROBLEM: Entry 4 is cut off"},
        };
        for (const auto& d : damaged) {
            writeFile(dir.file("Sennet.Audit"), d.bytes);
            const Run r = run(dir.path(), {"audit", "verify"});
            QCOMPARE(r.status, 1);
            QVERIFY2(r.out.contains(d.named), r.out.constData());
        }
    }

    void importCsvAddsTheReadyRowsAndNamesTheOthers()
    {
        QTemporaryDir dir;
        writeCleanFolder(dir.path());
        const QByteArray before = readFile(dir.filePath("Sennet.Data"));
        const QString csv = dir.filePath("in.csv");
        writeFile(csv, "Citation Number,Offense Date,Code Section,Occurred on (Hwy / Street / Route) (Direction),Colour\n"
                       "I-1,2006-02-03,46.2-862,RT 1,red\nI-2,2/30/2006,46.2-862,RT 2,red\n");
        const Run r = run(dir.path(), {"import-csv", csv});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.out, QByteArray("in.csv: 1 citation(s) imported, 1 row(s) left out\n"));
        QVERIFY(r.err.contains("in.csv: column \"Colour\" is not a field; ignored\n"));
        QVERIFY(r.err.contains("in.csv: line 3: not imported: Offense Date: I don't recognize 2/30/2006"));
        QCOMPARE(readFile(dir.filePath("Sennet.Data")).size(), before.size() + 3000);
        QVERIFY(readFile(dir.filePath("Sennet.Data")).startsWith(before));
        // The audit trail records the import under the login name, with its file and count.
        const QByteArray trail = readFile(dir.filePath("Sennet.Audit"));
        QCOMPARE(trail.count("\r\n"), 1);
        QVERIFY2(trail.contains("\"action\":\"import\"") && trail.contains("\"file\":\"in.csv\"")
                     && trail.contains("\"count\":1") && trail.contains("\"level\":0,"),
                 trail.constData());
        QCOMPARE(run(dir.path(), {"audit", "verify"}).status, 0);
        // A file with no heading of a field changes nothing.
        writeFile(csv, "a,b\n1,2\n");
        const Run refused = run(dir.path(), {"import-csv", csv});
        QCOMPARE(refused.status, 1);
        QVERIFY(refused.err.contains("Its first row holds: \"a\", \"b\"."));
        QCOMPARE(run(dir.path(), {"import-csv"}).status, 2);
    }

    void verifyCleanFolder()
    {
        QTemporaryDir dir;
        writeCleanFolder(dir.path());
        const auto before = snapshot(dir.path());
        const Run r = run(dir.path(), {"verify"});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.contains("Sennet.Data: 6000 bytes, 2 citation(s)\n"));
        QVERIFY(r.out.contains("User.List: 1000 bytes, 2 user(s)\n"));
        QVERIFY(r.out.contains("User.Log: "));
        QVERIFY(r.out.endsWith("clean\n"));
        QVERIFY(!r.out.contains("PROBLEM"));
        QCOMPARE(snapshot(dir.path()), before);

        // An empty folder is clean too: nothing there yet.
        QTemporaryDir empty;
        QCOMPARE(run(empty.path(), {"verify"}).status, 0);
        QVERIFY(QDir(empty.path()).entryList(QDir::Files).isEmpty());
    }

    void verifyDamagedFolder_data()
    {
        QTest::addColumn<int>("damage");
        QTest::addColumn<QByteArray>("finding");
        QTest::newRow("cut short") << 0 << QByteArray("not a whole number of 3000-byte records (1000 bytes left over)");
        QTest::newRow("killed") << 1 << QByteArray("record 2 is marked \"$Killed$\"");
        QTest::newRow("damaged date") << 2 << QByteArray("record 1: OffenseDate holds no plausible date");
        QTest::newRow("time with a date") << 3 << QByteArray("record 2: OffenseTime holds no plausible time");
        QTest::newRow("option") << 4 << QByteArray("record 1: Weather holds 9");
        QTest::newRow("check box") << 5 << QByteArray("record 2: Speeding holds -1");
        QTest::newRow("foreign version") << 6 << QByteArray("format version 999 is not one this program writes");
        QTest::newRow("user level") << 7 << QByteArray("user 2 (Bob Roe) has access level 7");
        QTest::newRow("no administrator") << 8 << QByteArray("no user has full access (level 4)");
        QTest::newRow("user cut") << 9 << QByteArray("User.List: PROBLEM: the length is not a whole number");
        QTest::newRow("log line") << 10 << QByteArray("User.Log: PROBLEM: line 3 is not a log-in or log-out line");
        QTest::newRow("log LF") << 11 << QByteArray("User.Log: PROBLEM: line 1 does not end with CR LF");
        QTest::newRow("folder") << 12 << QByteArray("Sennet.Data: PROBLEM: not a regular file");
        QTest::newRow("NUL text") << 13 << QByteArray("record 2: Plead holds NUL bytes");
    }
    void verifyDamagedFolder()
    {
        QFETCH(int, damage);
        QFETCH(QByteArray, finding);
        QTemporaryDir dir;
        writeCleanFolder(dir.path());
        const QString data = dir.path() + "/Sennet.Data";
        QList<CitationBytes3000> citations{CitationBytes3000::sample("100", QDate(2006, 1, 5)),
                                           CitationBytes3000::sample("101", QDate(2006, 2, 7))};
        switch (damage) {
        case 0: writeFile(data, readFile(data) + QByteArray(1000, ' ')); break;
        case 1: WriteCitations(data, {citations[0], citations[1].text("NCICNumber", "$Killed$")}); break;
        case 2: WriteCitations(data, {citations[0].date("OffenseDate", std::numeric_limits<double>::quiet_NaN()),
                                      citations[1]});
            break;
        case 3: WriteCitations(data, {citations[0], citations[1].date("OffenseTime", QDate(2006, 1, 1), QTime(9, 0))});
            break;
        case 4: WriteCitations(data, {citations[0].int16("Weather", 9), citations[1]}); break;
        case 5: WriteCitations(data, {citations[0], citations[1].int16("Speeding", -1)}); break;
        case 6: WriteCitations(data, {citations[0], citations[1].int16("FormatVersion", 999)}); break;
        case 7: WriteUsers(dir.path() + "/User.List", {UserBytes500::user("Jane", "Doe", "Secret1", 4),
                                                      UserBytes500::user("Bob", "Roe", "Other22", 7)});
            break;
        case 8: WriteUsers(dir.path() + "/User.List", {UserBytes500::user("Bob", "Roe", "Other22", 3)}); break;
        case 9: writeFile(dir.path() + "/User.List", readFile(dir.path() + "/User.List").left(750)); break;
        case 10: writeFile(dir.path() + "/User.Log", readFile(dir.path() + "/User.Log") + "garbage\r\n"); break;
        case 11: writeFile(dir.path() + "/User.Log", "07/04/2006 at 14:09:01 - Jane Doe logged out.\n"); break;
        case 12: QFile::remove(data); QVERIFY(QDir(dir.path()).mkdir("Sennet.Data")); break;
        case 13: WriteCitations(data, {citations[0], citations[1].text("Plead", QByteArray(4, '\0'))}); break;
        }
        const auto before = snapshot(dir.path());
        const Run r = run(dir.path(), {"verify"});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.out.contains(finding), r.out.constData());
        QVERIFY(r.out.contains("problem(s) found\n"));
        QCOMPARE(snapshot(dir.path()), before);
    }

    void olderFormatIsFoundAndConverted()
    {
        QTemporaryDir dir;
        // Two records of the older layout: the current sections without the
        // format version, then the shorter notes.
        QByteArray old;
        for (const char* number : {"OLD-1", "OLD-2"}) {
            const QByteArray current =
                CitationBytes3000::sample(number, QDate(1999, 5, 6)).text("Notes", "kept notes").bytes();
            old += current.mid(2, 941) + current.mid(943, 559);
        }
        writeFile(dir.path() + "/Sennet.Data", old);
        const Run found = run(dir.path(), {"verify"});
        QCOMPARE(found.status, 1);
        QVERIFY2(found.out.contains("older format"), found.out.constData());
        QVERIFY(found.out.contains("sennet-data convert"));
        QCOMPARE(readFile(dir.path() + "/Sennet.Data"), old);
        const Run refused = run(dir.path(), {"export-csv", "--include-damaged"});
        QCOMPARE(refused.status, 1);
        QVERIFY(refused.out.isEmpty() && refused.err.contains("older format"));

        const Run converted = run(dir.path(), {"convert"});
        QCOMPARE(converted.status, 0);
        QVERIFY2(converted.out.contains("2 citation(s) converted"), converted.out.constData());
        QCOMPARE(readFile(dir.path() + "/Sennet.Old"), old);
        const QList<QByteArray> records = ReadCitations(dir.path() + "/Sennet.Data");
        QCOMPARE(records.size(), 2);
        QCOMPARE(CitationBytes3000::readText(records[1], "CitationNumber").trimmed(), QByteArray("OLD-2"));
        QCOMPARE(CitationBytes3000::readInt16(records[0], "FormatVersion"), qint16(315));
        QCOMPARE(run(dir.path(), {"verify"}).status, 0);
        QVERIFY(readFile(dir.path() + "/Sennet.Audit").contains("\"action\":\"conversion\""));

        // Converting a current file does nothing to it.
        const QByteArray now = readFile(dir.path() + "/Sennet.Data");
        const Run again = run(dir.path(), {"convert"});
        QCOMPARE(again.status, 0);
        QVERIFY(again.out.contains("nothing to convert"));
        QCOMPARE(readFile(dir.path() + "/Sennet.Data"), now);
    }

    void dumpGivesBackEveryField()
    {
        QTemporaryDir dir;
        QList<CitationBytes3000> records;
        for (int i = 1; i <= 5; ++i)
            records << fullCitation(i);
        WriteCitations(dir.path() + "/Sennet.Data", records);
        const auto before = snapshot(dir.path());
        // The numbers are drawn at random, out of their ranges too: the
        // records count as damaged and are dumped as they stand when asked.
        const Run r = run(dir.path(), {"dump", "--include-damaged"});
        QCOMPARE(r.status, 1);
        QCOMPARE(snapshot(dir.path()), before);
        const QList<QByteArray> lines = r.out.split('\n');
        QCOMPARE(lines.size(), 6); // five lines and the empty rest after the last break
        for (int i = 0; i < 5; ++i) {
            QJsonParseError error;
            const QJsonObject o = QJsonDocument::fromJson(lines[i], &error).object();
            QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
            QCOMPARE(o.value("record").toInt(), i + 1);
            const QByteArray& bytes = records[i].bytes();
            for (const RecordField& f : CitationBytes3000::layout()) {
                QVERIFY2(o.contains(QLatin1String(f.name)), f.name);
                const QJsonValue v = o.value(QLatin1String(f.name));
                if (f.type == 't') {
                    const QString expected = QString::fromLatin1(CitationBytes3000::readText(bytes, f.name)).trimmed();
                    QCOMPARE(v.toString(), expected);
                } else if (f.type == 'i') {
                    QCOMPARE(v.toInt(), int(CitationBytes3000::readInt16(bytes, f.name)));
                } else {
                    const double expected = CitationBytes3000::readDate(bytes, f.name);
                    QVERIFY2(std::abs(dumpedDate(v) - expected) < 1e-6,
                             qPrintable(QStringLiteral("%1: %2").arg(f.name, v.toString())));
                }
            }
        }
    }

    void usersWithoutPasswords()
    {
        QTemporaryDir dir;
        writeCleanFolder(dir.path());
        const Run r = run(dir.path(), {"dump", "users"});
        QCOMPARE(r.status, 0);
        const QList<QByteArray> lines = r.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        const QJsonObject jane = QJsonDocument::fromJson(lines[0]).object();
        QCOMPARE(jane.value("FirstName").toString(), QStringLiteral("Jane"));
        QCOMPARE(jane.value("AccessLevel").toInt(), 4);
        QCOMPARE(jane.value("AccessLevelName").toString(), QStringLiteral("Read/Edit/Add/Delete"));
        QVERIFY(jane.value("DateCreated").toString().startsWith(QStringLiteral("2024-05-17")));
        QVERIFY(!r.out.contains("Password"));
        const QByteArray stored = UserBytes500::readText(ReadUsers(dir.path() + "/User.List").at(0), "Password");
        QVERIFY(!r.out.contains(stored.trimmed()));
        QVERIFY(!r.out.contains("Secret1"));
    }

    void exportAndCounts()
    {
        QTemporaryDir dir;
        writeCleanFolder(dir.path());
        const auto before = snapshot(dir.path());
        const Run csv = run(dir.path(), {"export-csv"});
        QCOMPARE(csv.status, 0);
        const CsvParse parsed = ParseCsv(csv.out);
        QVERIFY2(parsed.ok, qPrintable(parsed.error));
        QCOMPARE(parsed.rows, (QList<QStringList>{{"Date", "Citation#", "Offense", "Location"},
                                                  {"2006-01-05", "100", "46.2-862", "Rt 1 NB / MM 12"},
                                                  {"2006-02-07", "101", "18.2-266", "Rt 1 NB / MM 12"}}));
        const Run stats = run(dir.path(), {"stats", "--from", "2006-02-01"});
        QCOMPARE(stats.status, 0);
        QVERIFY2(stats.out.startsWith("Citations: 1 (from 2006-02-01 to the last; 1 outside)\n"), stats.out.constData());
        QVERIFY(stats.out.contains("By Code Section\n       1  18.2-266\n"));
        QCOMPARE(snapshot(dir.path()), before);

        QTemporaryDir elsewhere;
        const QString target = elsewhere.path() + "/all.csv";
        const Run file = run(dir.path(), {"export-csv", "--every-field", "--output", target});
        QCOMPARE(file.status, 0);
        const CsvParse every = ParseCsv(readFile(target));
        QVERIFY(every.ok);
        QCOMPARE(every.rows.size(), 3);
        QCOMPARE(every.rows[0].size(), qsizetype(CitationLayout::fields().size() - 1));
        QCOMPARE(snapshot(dir.path()), before);
    }

    void interruptedWriteIsReportedNotFinished()
    {
        // Killed half way through saving citation 2: the reading commands
        // report the waiting write and change no byte; convert, which holds
        // the program's lock, finishes it as the program would.
        QTemporaryDir dir;
        writeCleanFolder(dir.path());
        const QString data = dir.path() + "/Sennet.Data";
        const QByteArray old = readFile(data);
        const QByteArray record = fullCitation(7).bytes();
        QByteArray torn = old;
        torn.replace(3000, 1000, record.left(1000));
        writeFile(data, torn);
        writeFile(data + ".$$j", IntentBytes(3000, 6000, record));
        const auto before = snapshot(dir.path());
        for (const QStringList& args : {QStringList{"verify"}, QStringList{"dump"}, QStringList{"dump", "users"},
                                        QStringList{"export-csv"}, QStringList{"stats"}}) {
            const Run r = run(dir.path(), args);
            QVERIFY2(r.err.contains("Sennet.Data: an interrupted write is waiting; start Sennet to finish it\n"),
                     qPrintable(args.join(' ')));
            QCOMPARE(snapshot(dir.path()), before);
        }
        QCOMPARE(run(dir.path(), {"convert"}).status, 0);
        QCOMPARE(readFile(data), old.left(3000) + record);
        QVERIFY(!QFile::exists(data + ".$$j"));
    }

    // Damaged records, written byte by byte: each named on stderr with exit
    // status 1 by dump, export-csv and stats, and kept out of their output
    // unless --include-damaged. Values the program can write stay in.
    void damagedRecordsAreNamedAndLeftOut_data()
    {
        QTest::addColumn<int>("damage");
        QTest::addColumn<int>("damagedRecord"); // 0: none
        QTest::addColumn<QByteArray>("finding"); // on stderr; empty: a clean run
        QTest::newRow("2,000 random bytes appended")
            << 0 << 3 << QByteArray("record 3 is damaged: only 2000 of its 3000 bytes are in the file");
        QTest::newRow("NaN date") << 1 << 2 << QByteArray("record 2 is damaged: OffenseDate holds no plausible date (nan)");
        QTest::newRow("infinite time") << 2 << 1 << QByteArray("record 1 is damaged: CourtTime holds no plausible time (inf)");
        QTest::newRow("option") << 3 << 1 << QByteArray("record 1 is damaged: Weather holds 9");
        QTest::newRow("check box") << 4 << 2 << QByteArray("record 2 is damaged: Accident holds 2");
        QTest::newRow("NUL in a text") << 5 << 2 << QByteArray("record 2 is damaged: Notes holds NUL bytes");
        QTest::newRow("foreign version")
            << 6 << 2 << QByteArray("record 2 is damaged: FormatVersion holds -7, not a version this program writes");
        QTest::newRow("too few bytes to count")
            << 7 << 0 << QByteArray("the last 1000 bytes are too few for a citation (3000 bytes) and are left out");
        QTest::newRow("unlikely but written") << 8 << 0 << QByteArray();
    }
    void damagedRecordsAreNamedAndLeftOut()
    {
        QFETCH(int, damage);
        QFETCH(int, damagedRecord);
        QFETCH(QByteArray, finding);
        QTemporaryDir dir;
        writeCleanFolder(dir.path());
        const QString data = dir.path() + "/Sennet.Data";
        CitationBytes3000 first = CitationBytes3000::sample("100", QDate(2006, 1, 5));
        CitationBytes3000 second = CitationBytes3000::sample("101", QDate(2006, 2, 7));
        QByteArray tail;
        switch (damage) {
        case 0: {
            QRandomGenerator rng(2000);
            tail.resize(2000);
            for (char& c : tail)
                c = char(rng.bounded(256));
            break;
        }
        case 1: second.date("OffenseDate", std::numeric_limits<double>::quiet_NaN()); break;
        case 2: first.date("CourtTime", std::numeric_limits<double>::infinity()); break;
        case 3: first.int16("Weather", 9); break;
        case 4: second.int16("Accident", 2); break;
        case 5: second.text("Notes", QByteArray("typed\0text", 10)); break;
        case 6: second.int16("FormatVersion", -7); break;
        case 7: tail = QByteArray(1000, 'x'); break;
        case 8:
            first.date("DOB", QDate(1850, 3, 1)).date("OffenseTime", QDate(2006, 1, 5), QTime(9, 30));
            second.text("NCICNumber", "$Killed$");
            break;
        }
        writeFile(data, first.bytes() + second.bytes() + tail);
        const int counted = damage == 0 ? 3 : 2;
        QStringList sound;
        for (int n = 1; n <= counted; ++n)
            if (n != damagedRecord)
                sound << QString::number(99 + n);
        const int status = finding.isEmpty() ? 0 : 1;
        const auto before = snapshot(dir.path());

        const Run csv = run(dir.path(), {"export-csv"});
        QCOMPARE(csv.status, status);
        QVERIFY2(csv.err.contains(finding), csv.err.constData());
        QCOMPARE(csv.err.count("\n"), qsizetype(status ? 1 + (damagedRecord ? 1 : 0) : 0)); // the record, the total
        QStringList exported;
        for (const QStringList& row : ParseCsv(csv.out).rows.mid(1))
            exported << row.value(1);
        QCOMPARE(exported, sound);
        const Run csvAll = run(dir.path(), {"export-csv", "--include-damaged"});
        QCOMPARE(csvAll.status, status);
        QCOMPARE(ParseCsv(csvAll.out).rows.size(), qsizetype(1 + counted));

        const Run dump = run(dir.path(), {"dump"});
        QCOMPARE(dump.status, status);
        QVERIFY(dump.err.contains(finding));
        QCOMPARE(dump.out.count("\n"), qsizetype(sound.size()));
        QVERIFY(!dump.out.contains("\"damaged\""));
        const Run dumpAll = run(dir.path(), {"dump", "--include-damaged"});
        QCOMPARE(dumpAll.out.count("\n"), qsizetype(counted));
        QCOMPARE(dumpAll.out.count("\"damaged\":"), qsizetype(damagedRecord ? 1 : 0));

        const Run stats = run(dir.path(), {"stats"});
        QCOMPARE(stats.status, status);
        QVERIFY(stats.err.contains(finding));
        QVERIFY2(stats.out.startsWith("Citations: " + QByteArray::number(sound.size()) + "\n"), stats.out.constData());
        QCOMPARE(snapshot(dir.path()), before);
    }

    void emptyDataFileIsLeftAlone()
    {
        // The program removes an empty data file at start; the tool must not.
        QTemporaryDir dir;
        writeFile(dir.path() + "/Sennet.Data", QByteArray());
        for (const QStringList& args : {QStringList{"verify"}, QStringList{"dump"}, QStringList{"export-csv"},
                                        QStringList{"stats"}})
            QCOMPARE(run(dir.path(), args).status, 0);
        QVERIFY(QFile::exists(dir.path() + "/Sennet.Data"));
    }
};

QTEST_GUILESS_MAIN(tst_SennetData)
#include "tst_sennetdata.moc"
