// Damaged and strange data files: whatever lies under the data file's name,
// the program answers with a message and carries on; nothing crashes, hangs
// or is miscounted. Damaged values in records read as empty, not as garbage.
#include "DataFiles.h"
#include "FaultInjection.h"
#include "IntentBytes.h"
#include "UserFiles.h"
#include "store/CitationFile.h"
#include "store/DataFileNames.h"
#include "store/DateValue.h"
#include "store/NumberText.h"
#include "store/UserList.h"
#include "storage/UserLog.h"
#include "workspace/CitationList.h"
#include "store/ListDateText.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <cmath>
#include <cstring>
#include <limits>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

class tst_DamagedFiles : public QObject {
    Q_OBJECT
private slots:
    void notARegularFileIsRefusedAtOnce();
    void fileShrunkDuringListLoadGivesPartialList();
    void unreadableBlockStopsTheListWithAMessage();
    void moreRecordsThanTheProgramCanNumberAreRefused();
    void appendAfterPartialRecordCompletesItWithBlanks();
    void damagedNumbersBecomeNoUndefinedIntegers();
    void foreignIntentFilesAreSetAside_data();
    void foreignIntentFilesAreSetAside();
    void folderInPlaceOfTheIntentFileIsNamed();
};

void tst_DamagedFiles::notARegularFileIsRefusedAtOnce()
{
    TempDataFolder folder;
    const QByteArray data = QFile::encodeName(CitationFileName);
    QVERIFY(::mkfifo(data.constData(), 0644) == 0);
    QVERIFY(::mkfifo("User.List", 0644) == 0);
    QVERIFY(::mkdir("User.Log", 0755) == 0);

    // Each of these blocked for ever on the pipe before; the test has a
    // time-out to catch that.
    CitationFile file;
    QVERIFY(!file.OpenCitationFile());
    QCOMPARE(file.lastError().message(),
             QStringLiteral("The file \"Sennet.Data\" could not be opened: it is a named pipe, not a data file"));
    CitationFileView view;
    QVERIFY(!view.open());
    QCOMPARE(view.lastError().message(), file.lastError().message());
    QVERIFY(!file.DeleteCitation(1));
    QVERIFY(!OpenUserList());
    QCOMPARE(UserListError().message(),
             QStringLiteral("The file \"User.List\" could not be opened: it is a named pipe, not a data file"));
    QVERIFY(!WriteUserLogLine(1));
    QCOMPARE(UserLogFailureReason(), QStringLiteral("it is a folder, not a data file"));

    // A device and a socket likewise.
    QVERIFY(QFile::remove(CitationFileName));
    QVERIFY(QFile::link("/dev/zero", CitationFileName));
    QVERIFY(!file.OpenCitationFile());
    QVERIFY(file.lastError().message().endsWith("it is a device, not a data file"));
    QVERIFY(QFile::remove(CitationFileName));
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, data.constData(), sizeof address.sun_path - 1);
    QVERIFY(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
    QVERIFY(!view.open());
    QVERIFY(view.lastError().message().endsWith("it is a socket, not a data file"));
    ::close(sock);
}

void tst_DamagedFiles::fileShrunkDuringListLoadGivesPartialList()
{
    TempDataFolder folder;
    QList<CitationBytes3000> records;
    for (int i = 1; i <= 1000; ++i)
        records.append(CitationBytes3000::sample(QByteArray::number(i), QDate(2006, 1, 1).addDays(i)));
    WriteCitations(CitationFileName, records);
    CitationFileView view;
    QVERIFY(view.open());
    QCOMPARE(view.count(), 1000);
    // Another program cuts the file while the list is read: a mapped file
    // killed the process here with SIGBUS.
    QVERIFY(::truncate(QFile::encodeName(CitationFileName).constData(), 3000 * 500 + 100) == 0);
    const QList<CitationRow> rows = ReadCitationRows(view, nullptr);
    QVERIFY(!rows.isEmpty() && rows.size() <= 500);
    QCOMPARE(rows.last().citationNumber, QString::number(rows.size()));
    QCOMPARE(view.lastError().message(),
             QStringLiteral("The file \"Sennet.Data\" could not be read to its end: it became shorter while it was read"));
}

void tst_DamagedFiles::unreadableBlockStopsTheListWithAMessage()
{
    TempDataFolder folder;
    QList<CitationBytes3000> records;
    for (int i = 1; i <= 800; ++i)
        records.append(CitationBytes3000::sample(QByteArray::number(i), QDate(2006, 1, 1)));
    WriteCitations(CitationFileName, records);
    CitationFileView view;
    QVERIFY(view.open());
    // The disk cannot give the second block (the case a sparse file on a
    // full file system shows through a mapping).
    InjectedFaults faults;
    int reads = 0;
    FileIo::setInterceptor([&reads](FileIo::Call call, const QString&, qint64) {
        return FileIo::Verdict{call == FileIo::Call::Read && ++reads > 1 ? EIO : 0, -1};
    });
    const QList<CitationRow> rows = ReadCitationRows(view, nullptr);
    QVERIFY(rows.size() > 0 && rows.size() < 800);
    QCOMPARE(view.lastError().message(),
             QStringLiteral("The file \"Sennet.Data\" could not be read: ") + FileIo::errorText(EIO));
}

void tst_DamagedFiles::moreRecordsThanTheProgramCanNumberAreRefused()
{
    TempDataFolder folder;
    // 2^31 records, as a sparse file: no disk space is used.
    const qint64 records = qint64(1) << 31;
    QFile data(CitationFileName);
    QVERIFY(data.open(QIODevice::WriteOnly));
    if (!data.resize(records * 3000))
        QSKIP("the file system refuses a sparse file of 6 TB");
    data.close();
    const QString refused = QStringLiteral("The file \"Sennet.Data\" could not be opened: it holds 2147483648 records, "
                                           "more than the 2147483646 this program can handle");
    CitationFile file;
    QVERIFY(!file.OpenCitationFile());
    QCOMPARE(file.lastError().message(), refused);
    QCOMPARE(file.CitationCount(), 0);
    CitationFileView view;
    QVERIFY(!view.open());
    QCOMPARE(view.count(), 0);
    QCOMPARE(view.lastError().message(), refused);
    QCOMPARE(CitationFile::CountForLength(records * 3000), records);

    QFile users(UserListFileName);
    QVERIFY(users.open(QIODevice::WriteOnly) && users.resize(records * 500));
    users.close();
    QVERIFY(!OpenUserList());
    QCOMPARE(UserCount(), 0);
    QVERIFY(UserListError().message().contains("2147483648 records"));
}

void tst_DamagedFiles::appendAfterPartialRecordCompletesItWithBlanks()
{
    TempDataFolder folder;
    const CitationBytes3000 a = CitationBytes3000::sample("A1", QDate(2006, 1, 1));
    const CitationBytes3000 b = CitationBytes3000::sample("B2", QDate(2006, 2, 2));
    // The second record is cut at 2000 bytes, inside its notes: it still counts.
    WriteFile(CitationFileName, a.bytes() + b.bytes().left(2000));
    const QByteArray before = ReadFile(CitationFileName);
    CitationFile file;
    QVERIFY(file.OpenCitationFile());
    QCOMPARE(file.CitationCount(), 2);
    {
        InjectedFaults faults;
        faults.diskFullAfter(500);
        QVERIFY(!file.WriteCitation(3, CitationRecord()));
        QCOMPARE(ReadFile(CitationFileName), before);
    }
    const CitationBytes3000 c = CitationBytes3000::sample("C3", QDate(2006, 3, 3));
    QVERIFY(file.WriteCitation(3, CitationRecord::fromBytes(c.bytes().constData(), 3000)));
    QCOMPARE(file.CitationCount(), 3);
    const QByteArray after = ReadFile(CitationFileName);
    QCOMPARE(after.size(), 9000);
    QCOMPARE(after.mid(3000, 2000), b.bytes().left(2000));
    QCOMPARE(after.mid(5000, 1000), QByteArray(1000, ' ')); // the notes' blanks, no NUL bytes
    QCOMPARE(after.mid(6000), c.bytes());
}

void tst_DamagedFiles::damagedNumbersBecomeNoUndefinedIntegers()
{
    const double inf = std::numeric_limits<double>::infinity();
    for (double damaged : {std::nan(""), inf, -inf, 1e308, -1e308, 2958466.0, -657435.5}) {
        const QString what = QString::number(damaged);
        QVERIFY2(!IsInDateRange(damaged), qPrintable(what));
        QVERIFY2(!DatePart(damaged).isValid() && !TimePart(damaged).isValid(), qPrintable(what));
        QCOMPARE(FormatDateValue(damaged, QStringLiteral("mm/dd/yyyy h:nnam/pm")), QString());
        QCOMPARE(ListDateText::date(damaged), QString());
        QCOMPARE(ListDateText::time(damaged), QString());
        QCOMPARE(ListDateText::dateKey(damaged), QString());
    }
    // The ends of the range still show.
    QCOMPARE(FormatDateValue(2958465.5, QStringLiteral("mm/dd/yyyy hh:nn")), QStringLiteral("12/31/9999 12:00"));
    QCOMPARE(FormatDateValue(-657434.0, QStringLiteral("mm/dd/yyyy")), QStringLiteral("01/01/0100"));

    // A 20-digit speed or a damaged number is held at the range's end.
    QCOMPARE(RoundHalfEven(1e19), std::numeric_limits<qint64>::max());
    QCOMPARE(RoundHalfEven(-1e19), std::numeric_limits<qint64>::min());
    QCOMPARE(RoundHalfEven(std::nan("")), qint64(0));
    QCOMPARE(RoundHalfEven(-9223372036854775808.0), std::numeric_limits<qint64>::min());
    QCOMPARE(LeadingNumberAsInt16(QStringLiteral("99999999999999999999 mph")), qint16(32767));
    QCOMPARE(LeadingNumberAsInt16(QStringLiteral("-99999999999999999999")), qint16(-32768));
    QCOMPARE(RoundHalfEven(2.5), qint64(2));
}

void tst_DamagedFiles::foreignIntentFilesAreSetAside_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("intent"); // empty: a sparse file of 1 GiB
    QTest::addColumn<QString>("why");
    const QByteArray record(3000, 'X');
    const QByteArray user = UserBytes500::user("Mallory", "Root", "pw", 4).bytes();
    constexpr quint64 Data = 9000, Users = 1000, Log = 73;
    const QString data = QStringLiteral("Sennet.Data"), users = QStringLiteral("User.List"),
                  log = QStringLiteral("User.Log");
    const QString notOneRecord = QStringLiteral("it does not cover one whole record of %1 bytes");
    QTest::newRow("two records") << data << IntentBytes(0, Data, record + record)
                                 << QStringLiteral("at 6040 bytes it is larger than any write of the program");
    QTest::newRow("a record and a half") << data << IntentBytes(0, Data, record + record.left(1500))
                                         << notOneRecord.arg(3000);
    QTest::newRow("part of a record") << data << IntentBytes(3000, Data, record.left(1500)) << notOneRecord.arg(3000);
    QTest::newRow("off the record boundary") << data << IntentBytes(1500, Data, record) << notOneRecord.arg(3000);
    QTest::newRow("grows the file by 10 MB") << data << IntentBytes(Data, Data, QByteArray(10 << 20, 'G'))
                                             << QStringLiteral("at 10485800 bytes it is larger than any write of the program");
    QTest::newRow("offset and old size 2^63-1")
        << data << IntentBytes(0x7fffffffffffffffull, 0x7fffffffffffffffull, record)
        << QStringLiteral("it points beyond any file");
    QTest::newRow("past the end") << data << IntentBytes(12000, 12000, record)
                                  << QStringLiteral("it was made for a file of 12000 bytes, and \"Sennet.Data\" holds 9000");
    QTest::newRow("1 GiB sparse") << data << QByteArray()
                                  << QStringLiteral("at 1073741824 bytes it is larger than any write of the program");
    QTest::newRow("user across two records") << users << IntentBytes(250, Users, user) << notOneRecord.arg(500);
    QTest::newRow("two log lines") << log << IntentBytes(Log, Log, "a\r\nb\r\n")
                                   << QStringLiteral("it is not one whole line added at the end");
    QTest::newRow("log line over the first") << log << IntentBytes(0, Log, "01/01/2026 at 00:00:00 - X logged out.\r\n")
                                             << QStringLiteral("it is not one whole line added at the end");
}

void tst_DamagedFiles::foreignIntentFilesAreSetAside()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, intent);
    QFETCH(QString, why);
    TempDataFolder folder;
    WriteCitations(CitationFileName, {CitationBytes3000::sample("A1", QDate(2025, 1, 2)),
                                      CitationBytes3000::sample("A2", QDate(2025, 1, 3)),
                                      CitationBytes3000::sample("A3", QDate(2025, 1, 4))});
    WriteUsers(UserListFileName, {UserBytes500::user("Anna", "Berg", "pw", 4), UserBytes500::user("Bo", "Lund", "pw", 1)});
    WriteFile(UserLogFileName, "03/06/2026 at 09:00:00 - Anna Berg logged in w/ Full Access privileges.\r\n");
    QCOMPARE(QFileInfo(UserLogFileName).size(), qint64(73)); // the intents below are made for it
    const QByteArray before = ReadFile(file);
    const QString intentName = FileIo::intentFileName(file);
    if (intent.isEmpty()) {
        QFile sparse(intentName);
        QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(qint64(1) << 30));
    } else {
        WriteFile(intentName, intent);
    }
    QStringList notices;
    FileIo::setNoticeReceiver([&](const QString& text) { notices << text; });

    QElapsedTimer timer;
    timer.start();
    FileIo::File f;
    QString what;
    const FileIo::WriteShape shape = file == UserLogFileName ? FileIo::WriteShape::lineAtEnd()
        : FileIo::WriteShape::records(file == UserListFileName ? 500 : 3000);
    QVERIFY(f.open(file, FileIo::File::ReadOnly, what, shape));
    QVERIFY(timer.elapsed() < 2000); // the sparse file is not read
    FileIo::setNoticeReceiver({});

    QCOMPARE(ReadFile(file), before);
    QVERIFY(!QFile::exists(intentName));
    const QString rejected = FileIo::rejectedIntentFileName(file);
    if (intent.isEmpty())
        QCOMPARE(QFileInfo(rejected).size(), qint64(1) << 30);
    else
        QCOMPARE(ReadFile(rejected), intent);
    QCOMPARE(notices, QStringList{QStringLiteral("The interrupted write waiting in \"%1.$$j\" was not carried out: %2. "
                                                 "It has been set aside as \"%1.$$j.rejected\"; \"%1\" has been left "
                                                 "as it was.")
                                      .arg(file, why)});
}

void tst_DamagedFiles::folderInPlaceOfTheIntentFileIsNamed()
{
    TempDataFolder folder;
    WriteCitations(CitationFileName, {CitationBytes3000::sample("A1", QDate(2025, 1, 2))});
    QVERIFY(QDir().mkdir(FileIo::intentFileName(CitationFileName)));
    CitationFile file;
    QVERIFY(file.OpenCitationFile());
    QVERIFY(!file.WriteCitation(2, CitationRecord()));
    QCOMPARE(file.lastError().message(), QStringLiteral("The file \"Sennet.Data\" could not be written: its intent "
                                                        "file \"Sennet.Data.$$j\" is a folder, not a file"));
    QCOMPARE(QFileInfo(CitationFileName).size(), qint64(3000));
}

QTEST_GUILESS_MAIN(tst_DamagedFiles)
#include "tst_damagedfiles.moc"
