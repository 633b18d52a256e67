// The data file check at start and the conversion of older data files: the
// question and its three answers, the bytes of converted records, and that
// the citations are never lost when a step fails.
#include "DataFiles.h"
#include "FaultInjection.h"
#include "Doubles.h"
#include "app/DataFileCheck.h"
#include "app/basSennet.h"
#include "store/DataFileNames.h"
#include "store/LegacyConversion.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

// An old 1500-byte record made from a current one: everything but the format
// version, and the notes cut to the old width.
QByteArray legacyRecord(const CitationBytes3000& current)
{
    return current.bytes().mid(2, LegacyLayout::SectionsLength) + current.bytes().mid(943, LegacyLayout::NotesLength);
}

QList<CitationBytes3000> threeCitations()
{
    QList<CitationBytes3000> out;
    for (int i = 1; i <= 3; ++i) {
        CitationBytes3000 r = CitationBytes3000::sample("T-" + QByteArray::number(i), QDate(2004, 5, i));
        r.text("Notes", QByteArray("Old note ") + QByteArray::number(i) + QByteArray(540, 'x') + "END");
        r.text("DefendantName", "Defendant " + QByteArray::number(i));
        out << r;
    }
    return out;
}

QByteArray legacyFile(const QList<CitationBytes3000>& records)
{
    QByteArray all;
    for (const CitationBytes3000& r : records)
        all += legacyRecord(r);
    return all;
}

const QString Question = QStringLiteral(
    "You have an older version data file\r\nthat needs to be converted to a format\r\n"
    "that this version of Sennet can read.\r\n\r\nWould you like to convert\r\nyour older data file now?\r\n\r\n"
    "If you click 'Yes', a copy of your\r\nolder data file will be kept as 'Sennet.Old'\r\n"
    "just in case you want to re-install your older\r\nprevious version of Sennet at some later time.\r\n\r\n"
    "If you click 'No', your older version data file\r\nwill be re-named to 'Sennet.Old' and you\r\n"
    "will start fresh with an empty data file.\r\n\r\n"
    "If you answer 'Cancel', this program will terminate\r\nto give you some time to decide what you want to do\r\n"
    "with the existing data file.");
const QString QuestionCaption = QStringLiteral("Update existing data file?");
constexpr int QuestionFlags = Msg::YesNoCancel | Msg::Question | Msg::DefaultButton3;
const QString Renamed = QStringLiteral("Your older data file\r\nhas been renamed to\r\nSennet.Old");
const QString Converted = QStringLiteral("Your data file has been\r\nsuccessfully converted!\r\n\r\n") + Renamed;

} // namespace

class tst_Conversion : public QObject {
    Q_OBJECT
private slots:
    void formatCheckLeavesCurrentAndMissingFilesAlone();
    void yesConvertsRecordByRecordAndKeepsTheOldFile();
    void noKeepsTheOldFileAndStartsEmpty();
    void cancelEndsWithBothFilesUntouched();
    void shortAndDamagedFilesCountAsOld();
    void failedConversionLeavesTheOldFileUnderItsName();
    void olderNameIsRenamedAtStartAndThenOffered();
};

void tst_Conversion::formatCheckLeavesCurrentAndMissingFilesAlone()
{
    TempDataFolder folder;
    ScriptedMessages msgs; // any box here is a failure

    QVERIFY(CheckDataFileAtStart(nullptr)); // no file at all
    QVERIFY(!QFile::exists(CitationFileName));

    WriteFile(CitationFileName, QByteArray());
    QVERIFY(CheckDataFileAtStart(nullptr));
    QVERIFY2(!QFile::exists(CitationFileName), "an empty data file is removed without a word");

    WriteCitations(CitationFileName, threeCitations());
    const QByteArray before = ReadFile(CitationFileName);
    QVERIFY(CheckDataFileAtStart(nullptr));
    QCOMPARE(ReadFile(CitationFileName), before);
    QVERIFY(!QFile::exists(LegacyBackupFileName()));

    // Any version from 300 to 399 is current; 299 and 400 are not.
    for (qint16 version : {300, 399}) {
        CitationBytes3000 r;
        r.int16("FormatVersion", version);
        WriteCitations(CitationFileName, {r});
        FileError error;
        QCOMPARE(CheckDataFileFormat(error), DataFileFormat::Current);
    }
    for (qint16 version : {0, 299, 400}) {
        CitationBytes3000 r;
        r.int16("FormatVersion", version);
        WriteCitations(CitationFileName, {r});
        FileError error;
        QCOMPARE(CheckDataFileFormat(error), DataFileFormat::NeedsConversion);
    }
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
}

void tst_Conversion::yesConvertsRecordByRecordAndKeepsTheOldFile()
{
    TempDataFolder folder;
    const QList<CitationBytes3000> records = threeCitations();
    const QByteArray old = legacyFile(records);
    QCOMPARE(old.size(), 4500);
    WriteFile(CitationFileName, old);
    WriteFile(LegacyBackupFileName(), "an earlier backup that the new one replaces");

    ScriptedMessages msgs;
    msgs.expect(Question, QuestionCaption, QuestionFlags, Msg::Yes);
    msgs.expect(Converted, QStringLiteral("Finished Updating!"), Msg::OKOnly | Msg::Information, Msg::OK);
    QVERIFY(CheckDataFileAtStart(nullptr));
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));

    QCOMPARE(ReadFile(LegacyBackupFileName()), old);
    const QList<QByteArray> converted = ReadCitations(CitationFileName);
    QCOMPARE(ReadFile(CitationFileName).size(), 9000);
    QCOMPARE(converted.size(), 3);
    for (int i = 0; i < 3; ++i) {
        // Every byte equals the current record's, but the notes beyond the
        // old width, which are blanks.
        QByteArray expected = records[i].bytes();
        expected.replace(943 + LegacyLayout::NotesLength, 2057 - LegacyLayout::NotesLength,
                         QByteArray(2057 - LegacyLayout::NotesLength, ' '));
        QCOMPARE(CitationBytes3000::readInt16(converted[i], "FormatVersion"), qint16(315));
        QCOMPARE(converted[i], expected);
    }
    QVERIFY(!QFile::exists(WorkFileName));

    // The next start finds the file current and says nothing.
    ScriptedMessages quiet;
    QVERIFY(CheckDataFileAtStart(nullptr));
    QVERIFY(quiet.allMet());
}

void tst_Conversion::noKeepsTheOldFileAndStartsEmpty()
{
    TempDataFolder folder;
    const QByteArray old = legacyFile(threeCitations());
    WriteFile(CitationFileName, old);

    ScriptedMessages msgs;
    msgs.expect(Question, QuestionCaption, QuestionFlags, Msg::No);
    msgs.expect(Renamed, QStringLiteral("Finished Updating!"), Msg::OKOnly | Msg::Information, Msg::OK);
    QVERIFY(CheckDataFileAtStart(nullptr));
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QVERIFY(!QFile::exists(CitationFileName));
    QCOMPARE(ReadFile(LegacyBackupFileName()), old);
}

void tst_Conversion::cancelEndsWithBothFilesUntouched()
{
    TempDataFolder folder;
    const QByteArray old = legacyFile(threeCitations());
    WriteFile(CitationFileName, old);
    WriteFile(LegacyBackupFileName(), "earlier backup");

    ScriptedMessages msgs;
    msgs.expect(Question, QuestionCaption, QuestionFlags, Msg::Cancel);
    QVERIFY2(!CheckDataFileAtStart(nullptr), "Cancel ends the program");
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QCOMPARE(ReadFile(CitationFileName), old);
    QCOMPARE(ReadFile(LegacyBackupFileName()), QByteArray("earlier backup"));
}

void tst_Conversion::shortAndDamagedFilesCountAsOld()
{
    TempDataFolder folder;
    // 1 to 2999 bytes is always an old file, even a cut current one.
    CitationBytes3000 current = CitationBytes3000::sample("CUT", QDate(2006, 1, 1));
    WriteFile(CitationFileName, current.bytes().left(2999));
    FileError error;
    QCOMPARE(CheckDataFileFormat(error), DataFileFormat::NeedsConversion);

    // One and a bit old records: the tail above half a record counts, and
    // its missing bytes read as blanks.
    const QByteArray old = legacyFile({current});
    WriteFile(CitationFileName, old + old.left(800));
    QCOMPARE(ConvertLegacyDataFile(error), qint64(2));
    const QList<QByteArray> converted = ReadCitations(CitationFileName);
    QCOMPARE(converted.size(), 2);
    QCOMPARE(converted[1].mid(2, 800), old.left(800));
    QCOMPARE(converted[1].mid(802, 941 - 800), QByteArray(941 - 800, ' '));
}

void tst_Conversion::failedConversionLeavesTheOldFileUnderItsName()
{
    TempDataFolder folder;
    const QByteArray old = legacyFile(threeCitations());
    WriteFile(CitationFileName, old);

    // The work file's name is taken by a folder, so the conversion cannot
    // even start writing.
    QVERIFY(QDir().mkdir(WorkFileName));
    ScriptedMessages msgs;
    msgs.expect(Question, QuestionCaption, QuestionFlags, Msg::Yes);
    msgs.expect(QStringLiteral("The file \"Sennet.Data\" could not be converted: the work file \"TempFile.$$$\" "
                               "could not be opened: it is a folder, not a data file.\r\n\r\nYour data file has been left as it was.\r\n"
                               "Sennet will now close; please correct the problem\r\nand start it again."),
                QStringLiteral("File Error"), Msg::OKOnly | Msg::Exclamation, Msg::OK);
    QVERIFY2(!CheckDataFileAtStart(nullptr), "the program ends rather than read an old file as a new one");
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QCOMPARE(ReadFile(CitationFileName), old);
    QVERIFY(!QFile::exists(LegacyBackupFileName()));
    QVERIFY(QDir().rmdir(WorkFileName));

    // The backup name is taken by a folder: the converted work file is
    // thrown away and the old file stays where it was.
    QVERIFY(QDir().mkdir(LegacyBackupFileName()));
    FileError error;
    QCOMPARE(ConvertLegacyDataFile(error), qint64(-1));
    QVERIFY(error.message().startsWith(QStringLiteral("The file \"Sennet.Data\" could not be renamed to \"Sennet.Old\": ")));
    QCOMPARE(ReadFile(CitationFileName), old);
    QVERIFY(!QFile::exists(WorkFileName));
    QVERIFY(QDir().rmdir(LegacyBackupFileName()));

    // A disk that fills up, or a flush that fails, half way through the
    // work file: the old file is untouched, no work file is left.
    for (int fault = 0; fault < 2; ++fault) {
        InjectedFaults faults;
        if (fault == 0)
            faults.onlyFile(WorkFileName).diskFullAfter(4000);
        else
            faults.failNextSync();
        QCOMPARE(ConvertLegacyDataFile(error), qint64(-1));
        QVERIFY(faults.fired());
        QCOMPARE(error.message(), fault == 0 ? QStringLiteral("The file \"Sennet.Data\" could not be converted: No space left on device")
                                             : QStringLiteral("The file \"Sennet.Data\" could not be converted: Input/output error"));
        QCOMPARE(ReadFile(CitationFileName), old);
        QVERIFY(!QFile::exists(WorkFileName));
        QVERIFY(!QFile::exists(LegacyBackupFileName()));
    }
}

void tst_Conversion::olderNameIsRenamedAtStartAndThenOffered()
{
    TempDataFolder folder;
    const QByteArray old = legacyFile(threeCitations());
    WriteFile(QStringLiteral("Sennet.dat"), old);
    RenameOlderDataFile();
    QVERIFY(!QFile::exists(QStringLiteral("Sennet.dat")));

    ScriptedMessages msgs;
    msgs.expect(Question, QuestionCaption, QuestionFlags, Msg::Yes);
    msgs.expect(Converted, QStringLiteral("Finished Updating!"), Msg::OKOnly | Msg::Information, Msg::OK);
    QVERIFY(CheckDataFileAtStart(nullptr));
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QCOMPARE(ReadFile(CitationFileName).size(), 9000);
    QCOMPARE(ReadFile(LegacyBackupFileName()), old);
}

QTEST_MAIN(tst_Conversion)
#include "tst_conversion.moc"
