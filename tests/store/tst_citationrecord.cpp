// The citation record's byte layout, checked against the test-side builder's
// own table in both directions, and the rules for texts, dates and speeds.
#include "DataFiles.h"
#include "session/ProcessState.h"
#include "store/AnsiText.h"
#include "store/CitationFile.h"
#include "store/CitationRecord.h"
#include "store/EditorValues.h"

#include <QTest>

class tst_CitationRecord : public QObject {
    Q_OBJECT
private slots:
    void layoutMatchesTheTable();
    void sectionsAreContiguousUnits();
    void storeWritesWhatTheBuilderReads();
    void builderWritesWhatTheStoreReads();
    void textsArePaddedCutAndTrimmed();
    void windows1252RoundTripAndRefusal();
    void editorRoundTrip();
    void emptyAndMidnightTimesStoreAsZero();
    void speedsTakeTheLeadingNumberRoundedHalfToEven();
};

void tst_CitationRecord::layoutMatchesTheTable()
{
    const auto& ours = CitationLayout::fields();
    const auto& theirs = CitationBytes3000::layout();
    QCOMPARE(int(ours.size()), int(theirs.size()));
    int total = 0;
    for (size_t i = 0; i < ours.size(); ++i) {
        QCOMPARE(QByteArray(ours[i].name), QByteArray(theirs[qsizetype(i)].name));
        QCOMPARE(ours[i].offset, theirs[qsizetype(i)].offset);
        QCOMPARE(ours[i].width, theirs[qsizetype(i)].width);
        const char type = ours[i].type == FieldType::Text ? 't' : ours[i].type == FieldType::Int16 ? 'i' : 'd';
        QCOMPARE(type, theirs[qsizetype(i)].type);
        total += ours[i].width;
    }
    QCOMPARE(total, 3000);
    // Every editor box 1..48 enters exactly one field.
    for (int i = 1; i <= 48; ++i)
        QCOMPARE(CitationLayout::editorField(i).editorIndex, i);
    QCOMPARE(QByteArray(CitationLayout::editorField(48).name), QByteArray("Notes"));
}

void tst_CitationRecord::sectionsAreContiguousUnits()
{
    struct Expect { CitationSection s; int offset, length; const char* first; const char* last; };
    const Expect expected[] = {
        {CitationSection::Basics, 2, 165, "NCICNumber", "ReviewedBy"},
        {CitationSection::Defendant, 167, 180, "DefendantName", "LicenseExpiration"},
        {CitationSection::License, 307, 40, "LicenseNumber", "LicenseExpiration"},
        {CitationSection::Vehicle, 347, 118, "CommercialVehicle", "TagType"},
        {CitationSection::Offense, 465, 90, "CodeSection", "TestResults"},
        {CitationSection::Location, 555, 160, "County", "Lighting"},
        {CitationSection::Court, 715, 228, "SceneDisposition", "CourtComments"},
        {CitationSection::Notes, 943, 2057, "Notes", "Notes"},
    };
    for (const Expect& e : expected) {
        const SectionSpec& s = CitationLayout::section(e.s);
        QCOMPARE(s.offset, e.offset);
        QCOMPARE(s.length, e.length);
        const auto& first = CitationBytes3000::find(e.first);
        const auto& last = CitationBytes3000::find(e.last);
        QCOMPARE(first.offset, s.offset);
        QCOMPARE(last.offset + last.width, s.offset + s.length);
    }
    CitationRecord r;
    r.setText(CitationField::County, QStringLiteral("Fairfax"));
    CitationRecord copy;
    copy.setSectionBytes(CitationSection::Location, r.sectionBytes(CitationSection::Location));
    QCOMPARE(copy.text(CitationField::County), QStringLiteral("Fairfax"));
}

void tst_CitationRecord::storeWritesWhatTheBuilderReads()
{
    TempDataFolder folder;
    CitationRecord r;
    r.setInt16(CitationField::FormatVersion, 315);
    r.setText(CitationField::NCICNumber, QStringLiteral("VA0290000"));
    r.setText(CitationField::CitationNumber, QStringLiteral("12345"));
    r.setDate(CitationField::OffenseDate, OleDate(QDate(2006, 9, 14)));
    r.setDate(CitationField::OffenseTime, OleDate(QDate(1899, 12, 30), QTime(9, 5)));
    r.setText(CitationField::Hair, QStringLiteral("BRO"));
    r.setInt16(CitationField::Speeding, 1);
    r.setInt16(CitationField::MeasuredSpeed, 72);
    r.setInt16(CitationField::SceneDisposition, 3);
    r.setText(CitationField::Notes, QStringLiteral("line one\r\nline two"));
    CitationFile file;
    QVERIFY(file.OpenCitationFile());
    QVERIFY(file.WriteCitation(1, r));
    file.CloseCitationFile();

    const QList<QByteArray> records = ReadCitations(CitationFileName);
    QCOMPARE(records.size(), 1);
    const QByteArray& b = records[0];
    QCOMPARE(CitationBytes3000::readInt16(b, "FormatVersion"), qint16(315));
    QCOMPARE(CitationBytes3000::readText(b, "NCICNumber"), QByteArray("VA0290000       "));
    QCOMPARE(CitationBytes3000::readText(b, "CitationNumber"), QByteArray("12345       "));
    QCOMPARE(CitationBytes3000::readDate(b, "OffenseDate"), OleDate(QDate(2006, 9, 14)));
    QCOMPARE(CitationBytes3000::readDate(b, "OffenseTime"), OleDate(QDate(1899, 12, 30), QTime(9, 5)));
    QCOMPARE(CitationBytes3000::readText(b, "Hair"), QByteArray("BRO       "));
    QCOMPARE(CitationBytes3000::readInt16(b, "Speeding"), qint16(1));
    QCOMPARE(CitationBytes3000::readInt16(b, "MeasuredSpeed"), qint16(72));
    QCOMPARE(CitationBytes3000::readInt16(b, "SceneDisposition"), qint16(3));
    QVERIFY(CitationBytes3000::readText(b, "Notes").startsWith("line one\r\nline two   "));
    QCOMPARE(CitationBytes3000::readText(b, "Eyes"), QByteArray(10, ' '));
}

void tst_CitationRecord::builderWritesWhatTheStoreReads()
{
    TempDataFolder folder;
    // Every field gets a distinct value, so a field read from the wrong place shows.
    CitationBytes3000 built;
    int n = 0;
    for (const auto& f : CitationBytes3000::layout()) {
        ++n;
        if (f.type == 't')
            built.text(f.name, QByteArray::number(n).rightJustified(qMin(f.width, 3), 'x'));
        else if (f.type == 'i')
            built.int16(f.name, qint16(n));
        else
            built.date(f.name, 1000.0 + n);
    }
    WriteCitations(CitationFileName, {CitationBytes3000(), built});
    CitationFile file;
    QVERIFY(file.OpenCitationFile());
    QCOMPARE(file.CitationCount(), 2);
    CitationRecord r;
    QVERIFY(file.ReadCitation(2, r));
    n = 0;
    for (const FieldSpec& f : CitationLayout::fields()) {
        ++n;
        if (f.type == FieldType::Text)
            QCOMPARE(r.text(f.id), QString::number(n).rightJustified(qMin(f.width, 3), u'x'));
        else if (f.type == FieldType::Int16)
            QCOMPARE(r.int16(f.id), qint16(n));
        else
            QCOMPARE(r.date(f.id), 1000.0 + n);
    }
    QCOMPARE(r.bytes(), built.bytes());
}

void tst_CitationRecord::textsArePaddedCutAndTrimmed()
{
    CitationRecord r;
    QVERIFY(r.setText(CitationField::RaceSex, QStringLiteral("WMXYZ")));
    QCOMPARE(CitationBytes3000::readText(r.bytes(), "RaceSex"), QByteArray("WMX"));
    QVERIFY(r.setText(CitationField::Hair, QStringLiteral("   BRO  ")));
    QCOMPARE(r.text(CitationField::Hair), QStringLiteral("BRO")); // leading spaces do not survive
    // Line breaks are not spaces: a note may end with one, and each counts two bytes.
    const QString note = QString(2055, u'n') + QStringLiteral("\r\n");
    QVERIFY(r.setText(CitationField::Notes, note));
    QCOMPARE(r.text(CitationField::Notes), note);
    QVERIFY(r.setText(CitationField::Notes, QString(2056, u'n') + QStringLiteral("\r\n")));
    QCOMPARE(r.text(CitationField::Notes).size(), 2057); // cut inside the last break
    QCOMPARE(Ansi::trimSpaces(QStringLiteral("  a b\r\n ")), QStringLiteral("a b\r\n"));
}

void tst_CitationRecord::windows1252RoundTripAndRefusal()
{
    // Every byte reads back to itself.
    QByteArray all(256, '\0');
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    bool ok = false;
    QCOMPARE(Ansi::encode(Ansi::decode(all), &ok), all);
    QVERIFY(ok);
    QCOMPARE(Ansi::decode(QByteArray("\x80\x93\xe9")), QStringLiteral("\u20AC\u201C\u00E9"));

    CitationRecord r;
    QVERIFY(!r.setText(CitationField::DefendantName, QStringLiteral("Nguy\u1EC5n")));
    QCOMPARE(Ansi::firstUnencodable(QStringLiteral("Nguy\u1EC5n")), 4);
    QVERIFY(Ansi::canEncode(QStringLiteral("Jos\u00E9 M\u00FCller \u2013 \u20AC5")));
}

void tst_CitationRecord::editorRoundTrip()
{
    EditorValues in;
    in[1] = QStringLiteral("VA0290000");
    in[2] = QStringLiteral("12345");
    in[3] = QStringLiteral("9/14/2006");
    in[4] = QStringLiteral("9:05am");
    in[14] = QStringLiteral("2/3/1970");
    in[21] = QStringLiteral("VA");
    in[34] = QStringLiteral("72");
    in[35] = QStringLiteral("55");
    in[42] = QStringLiteral("1:30pm");
    in[48] = QStringLiteral("First line\r\nSecond line");
    in[CheckBox::Speeding] = true;
    in[OptionGroup::Weather] = 3;
    in[OptionGroup::SceneDisposition] = 2;
    CitationRecord r;
    QCOMPARE(FillCitationRecord(in, QDateTime(QDate(2026, 3, 7), QTime(14, 5, 9)), r), 0);
    QCOMPARE(r.int16(CitationField::FormatVersion), qint16(315));
    QCOMPARE(r.date(CitationField::DateEntered), OleDate(QDate(2026, 3, 7), QTime(14, 5, 9)));
    QCOMPARE(r.date(CitationField::TimeEntered), OleDate(QDate(2026, 3, 7), QTime(14, 5, 9)));
    QCOMPARE(r.int16(CitationField::Weather), qint16(3));

    const EditorValues out = EditorValuesFromRecord(r);
    QCOMPARE(out[3], QStringLiteral("09/14/2006"));
    QCOMPARE(out[4], QStringLiteral("9:05am"));
    QCOMPARE(out[7], QStringLiteral("03/07/2026"));
    QCOMPARE(out[8], QStringLiteral("2:05pm"));
    QCOMPARE(out[14], QStringLiteral("02/03/1970"));
    QCOMPARE(out[23], QString()); // empty expiration stays empty
    QCOMPARE(out[41], QString());
    QCOMPARE(out[42], QStringLiteral("1:30pm"));
    QCOMPARE(out[34], QStringLiteral("72"));
    QCOMPARE(out[48], in[48]);
    QVERIFY(out[CheckBox::Speeding]);
    QVERIFY(!out[CheckBox::DUI]);
    QCOMPARE(out[OptionGroup::SceneDisposition], 2);
    QCOMPARE(out[OptionGroup::StateLocal], 2); // untouched groups keep their initial choice

    in[11] = QStringLiteral("\u4E2D");
    QCOMPARE(FillCitationRecord(in, QDateTime::currentDateTime(), r), 11);
}

void tst_CitationRecord::emptyAndMidnightTimesStoreAsZero()
{
    EditorValues in;
    in[2] = QStringLiteral("1");
    in[3] = QStringLiteral("1/2/2006");
    in[4] = QStringLiteral("12:00am");
    in[7] = QStringLiteral("1/3/2006");
    in[8] = QStringLiteral("8:00am");
    CitationRecord r;
    FillCitationRecord(in, QDateTime(QDate(2026, 1, 1), QTime(10, 0)), r);
    QCOMPARE(r.date(CitationField::OffenseTime), 0.0);
    QCOMPARE(r.date(CitationField::DOB), 0.0);
    QCOMPARE(r.date(CitationField::CourtTime), 0.0);
    const EditorValues out = EditorValuesFromRecord(r);
    QCOMPARE(out[4], QString()); // midnight shows empty, like no time at all
    QCOMPARE(out[14], QString());
    QCOMPARE(out[7], QStringLiteral("01/03/2006"));
    QCOMPARE(out[8], QStringLiteral("8:00am"));
    // The offense date always shows, even an empty one.
    QCOMPARE(EditorValuesFromRecord(CitationRecord())[3], QStringLiteral("12/30/1899"));
}

void tst_CitationRecord::speedsTakeTheLeadingNumberRoundedHalfToEven()
{
    const struct { const char* typed; qint16 stored; } cases[] = {
        {"", 0}, {"abc", 0}, {"72", 72}, {"72mph", 72}, {"62.5", 62}, {"63.5", 64}, {" 9", 9},
        // Below 1 the box shows empty, so that is what is stored: an
        // edit-save of the shown citation then keeps it as it was.
        {"-6", 0}, {"-0.4", 0}, {"0.5", 0},
    };
    for (const auto& c : cases) {
        EditorValues in;
        in[34] = QString::fromLatin1(c.typed);
        CitationRecord r;
        FillCitationRecord(in, QDateTime::currentDateTime(), r);
        QCOMPARE(r.int16(CitationField::MeasuredSpeed), c.stored);
        CitationRecord again;
        FillCitationRecord(EditorValuesFromRecord(r), QDateTime::currentDateTime(), again);
        QCOMPARE(again.int16(CitationField::MeasuredSpeed), c.stored);
    }
}

QTEST_GUILESS_MAIN(tst_CitationRecord)
#include "tst_citationrecord.moc"
