// The user list file, the password rule and scrambling, the access code, the
// access levels' gates and the user log lines.
#include "DataFiles.h"
#include "Doubles.h"
#include "UserFiles.h"
#include "session/ProcessState.h"
#include "store/DateValue.h"
#include "storage/AccessCode.h"
#include "users/Passwords.h"
#include "store/UserList.h"
#include "storage/UserLog.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTest>

class tst_UserList : public QObject {
    Q_OBJECT
private slots:
    void fieldsLieAtTheirOffsets();
    void missingAndEmptyListsHaveNoUsers();
    void removingKeepsTheOthersByteForByte();
    void killedFirstNameSurvivesAnotherUsersRemoval();
    void failedRemovalLeavesTheListWhole();
    void passwordRule_data();
    void passwordRule();
    void scrambledPasswordHidesAndGivesBack();
    void accessCodeIsMadeOnceAndKept();
    void logLinesCarryTheMomentNameAndLevel();
};

namespace {
QList<UserBytes500> threeUsers()
{
    return {UserBytes500::user("Jane", "Doe", "abcd", 3), UserBytes500::user("John", "Smith", "wxyz1", 1),
            UserBytes500::user("Alice", "Walker", "Pass99", 4)};
}
} // namespace

void tst_UserList::fieldsLieAtTheirOffsets()
{
    UserRecord r;
    r.setFirstName("Maximilianusabc"); // 15 characters fill the field
    r.setLastName("Featherstonehaughxyz"); // so do 20
    r.setPassword("xAbBcCdD");
    r.setComments("Line one\r\nline two");
    r.setAccessLevel(3);
    r.setDateCreated(OleDate(QDate(2026, 3, 7), QTime(14, 5, 9)));
    const QByteArray bytes = r.bytes();
    QCOMPARE(bytes.size(), 500);
    QCOMPARE(UserBytes500::readText(bytes, "FirstName"), QByteArray("Maximilianusabc"));
    QCOMPARE(UserBytes500::readText(bytes, "LastName"), QByteArray("Featherstonehaughxyz"));
    QCOMPARE(UserBytes500::readText(bytes, "Password"), QByteArray("xAbBcCdD        "));
    QCOMPARE(UserBytes500::readLevel(bytes), qint16(3));
    QCOMPARE(UserBytes500::readCreated(bytes), OleDate(QDate(2026, 3, 7), QTime(14, 5, 9)));
    QCOMPARE(UserBytes500::readText(bytes, "Comments").trimmed(), QByteArray("Line one\r\nline two"));
    r.setFirstName("Maximilianusabcdef"); // longer is cut, the neighbour untouched
    QCOMPARE(r.FirstName() + "|" + r.LastName(), QString("Maximilianusabc|Featherstonehaughxyz"));

    // And the other way: a record built from the independent table reads back trimmed.
    const QByteArray built =
        UserBytes500().text("FirstName", "  Ann ").text("LastName", "O'Neil").text("Comments", " note\r\n ").bytes();
    const UserRecord back = UserRecord::fromBytes(built.constData(), built.size());
    QCOMPARE(back.Comments(), QString("note\r\n")); // the line break stays
    QCOMPARE(DisplayName(back), QString("Ann O'Neil"));
    QCOMPARE(NameSortKey(back), QString("O'Neil Ann"));

    QVERIFY(r.setLastName(QString::fromUtf8("Müller–Œ€"))); // all in Windows-1252
    QCOMPARE(r.LastName(), QString::fromUtf8("Müller–Œ€"));
    QVERIFY(!r.setLastName(QString::fromUtf8("Łukasz"))); // reported, not silently stored
}

void tst_UserList::missingAndEmptyListsHaveNoUsers()
{
    TempDataFolder folder;
    QVERIFY(!UserListExists());
    QVERIFY(OpenUserList());
    QCOMPARE(UserCount(), 0);
    CloseUserList();
    QVERIFY(UserListExists()); // opening creates the empty file
    QCOMPARE(QFileInfo("User.List").size(), 0);
    QVERIFY(OpenUserList());
    QVERIFY(!ReadUser(1));
    QVERIFY(UserListError().message().contains("\"User.List\""));
    CloseUserList();
}

void tst_UserList::removingKeepsTheOthersByteForByte()
{
    TempDataFolder folder;
    WriteUsers("User.List", threeUsers());
    QVERIFY(RemoveUser(2));
    QCOMPARE(UserCount(), 2);
    QCOMPARE(ReadFile("User.List"), threeUsers()[0].bytes() + threeUsers()[2].bytes());
    QVERIFY(!QFile::exists(WorkFileName));
    QVERIFY(!RemoveUser(3)); // there is no record 3 any more
    QCOMPARE(ReadFile("User.List").size(), 1000);

    // Removing the only user leaves no list at all.
    QVERIFY(RemoveUser(1) && RemoveUser(1));
    QVERIFY(!QFile::exists("User.List"));
    QVERIFY(!QFile::exists(WorkFileName));
}

void tst_UserList::killedFirstNameSurvivesAnotherUsersRemoval()
{
    TempDataFolder folder;
    const UserBytes500 killed = UserBytes500::user("$Killed$", "Trickster", "abcd", 2);
    WriteUsers("User.List", {threeUsers()[0], killed, threeUsers()[1]});
    QVERIFY(RemoveUser(3));
    QCOMPARE(ReadFile("User.List"), threeUsers()[0].bytes() + killed.bytes());
    QVERIFY(RemoveUser(1));
    QCOMPARE(ReadFile("User.List"), killed.bytes());
}

void tst_UserList::failedRemovalLeavesTheListWhole()
{
    TempDataFolder folder;
    WriteUsers("User.List", threeUsers());
    QVERIFY(QDir().mkdir(WorkFileName)); // the work file cannot be made
    QVERIFY(!RemoveUser(1));
    QVERIFY(UserListError().message().startsWith("The file \"User.List\" could not be compacted"));
    QCOMPARE(ReadUsers("User.List").size(), 3);
    QCOMPARE(ReadFile("User.List").left(500), threeUsers()[0].bytes()); // not marked, not touched
}

void tst_UserList::passwordRule_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("valid");
    QTest::newRow("3 characters") << "abc" << false;
    QTest::newRow("4 characters") << "abcd" << true;
    QTest::newRow("8 characters") << "Ab3dEf7h" << true;
    QTest::newRow("9 characters") << "abcdefghi" << false;
    QTest::newRow("inner blank") << "ab cd" << false;
    QTest::newRow("slash") << "ab/cd" << false;
    QTest::newRow("accented letter") << QString::fromUtf8("abcdé") << false;
    QTest::newRow("blanks around") << "  Ab3d  " << true;
}

void tst_UserList::passwordRule()
{
    QFETCH(QString, password);
    QFETCH(bool, valid);
    QCOMPARE(IsValidPassword(password), valid);
}

void tst_UserList::scrambledPasswordHidesAndGivesBack()
{
    const QString stored = ScramblePassword("  AbC1  ");
    QCOMPARE(stored.size(), 8);
    for (int i = 0; i < 8; i += 2)
        QVERIFY2(stored.at(i).isLetterOrNumber() && stored.at(i).unicode() < 128, qPrintable(stored));
    QCOMPARE(stored.mid(1, 1) + stored.mid(3, 1) + stored.mid(5, 1) + stored.mid(7, 1), QString("AbC1"));

    UserRecord r;
    r.setPassword(stored);
    QCOMPARE(UserBytes500::readText(r.bytes(), "Password"), stored.toLatin1() + QByteArray(8, ' '));
    QCOMPARE(UnscramblePassword(r.Password()), QString("AbC1"));

    // The random characters come from one generator seeded once: they vary
    // within one password and between two saves of it.
    const QString eight = ScramblePassword("aaaaaaaa");
    QSet<QChar> fillers;
    for (int i = 0; i < 16; i += 2)
        fillers.insert(eight.at(i));
    QVERIFY2(fillers.size() > 1, qPrintable(eight));
    QVERIFY(ScramblePassword("aaaaaaaa") != eight);
}

void tst_UserList::accessCodeIsMadeOnceAndKept()
{
    MemorySettings settings;
    const QString code = InstallationAccessCode();
    QCOMPARE(code.size(), 6);
    bool number = false;
    QVERIFY(code.toInt(&number) >= 100000 && number);
    QCOMPARE(settings.values.value("Installation/AccessCode"), code);
    QCOMPARE(settings.values.size(), 1); // nothing else, "Defaults" untouched
    QCOMPARE(InstallationAccessCode(), code);

    settings.values["Installation/AccessCode"] = "4711";
    QCOMPARE(InstallationAccessCode(), QString("4711"));
}

void tst_UserList::logLinesCarryTheMomentNameAndLevel()
{
    TempDataFolder folder;
    FixedClock clock(QDateTime(QDate(2026, 3, 7), QTime(14, 5, 9)));
    CurrentUserName = "Jane Doe";
    CurrentAccessLevel = 3;
    QVERIFY(WriteUserLogLine(1));
    QCOMPARE(ReadFile("User.Log"),
             QByteArray("03/07/2026 at 14:05:09 - Jane Doe logged in w/ Read/Edit/Add privileges.\r\n"));
    clock.moment = QDateTime(QDate(2026, 12, 31), QTime(9, 0, 1));
    QVERIFY(WriteUserLogLine(2));
    QCOMPARE(ReadFile("User.Log"), QByteArray("03/07/2026 at 14:05:09 - Jane Doe logged in w/ Read/Edit/Add privileges.\r\n"
                                              "12/31/2026 at 09:00:01 - Jane Doe logged out.\r\n"));
}

QTEST_GUILESS_MAIN(tst_UserList)
#include "tst_userlist.moc"
