// The checks run before a citation is saved.
#include "platform/Messages.h"
#include "workspace/Validation.h"

#include <QLocale>
#include <QtTest>

namespace {

const int Critical = Msg::Critical | Msg::OKOnly;

const QString Mandatory = QStringLiteral("The data fields that are\r\nindicated by a red label\r\nare mandatory entries.");

QString dateMessage(const QString& typed)
{
    return QStringLiteral("I don't recognize\r\n\r\n   ") + typed + QStringLiteral("\r\n\r\nas a valid date or time.");
}

// A citation that passes: the four mandatory fields filled.
EditorValues complete()
{
    EditorValues v;
    v[2] = QStringLiteral("A123456");
    v[3] = QStringLiteral("03/05/2006");
    v[32] = QStringLiteral("46.2-862");
    v[39] = QStringLiteral("Rt 1 NB");
    return v;
}

QString shown(const ValidationResult& r)
{
    QStringList out;
    for (const ValidationMessage& m : r.messages)
        out << QStringLiteral("[%1|%2] %3").arg(m.caption).arg(m.flags).arg(QString(m.text).replace(QLatin1String("\r\n"), QLatin1String("<CRLF>")));
    return out.join(QStringLiteral(" || "));
}

} // namespace

class tst_Validation : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void mandatoryFields_stopAtTheFirstMissing()
    {
        // Only spaces count as empty; the boxes after it are left as typed.
        EditorValues v = complete();
        v[1] = QStringLiteral("  VA0000000  ");
        v[2] = QStringLiteral("   ");
        v[11] = QStringLiteral("  Doe, John  ");
        v[15] = QStringLiteral("wm");
        ValidationResult r = ValidateCitationValues(v);
        QCOMPARE(r.invalidField, qint16(2));
        QCOMPARE(r.messages.size(), 1);
        QCOMPARE(r.messages[0].text, Mandatory);
        QCOMPARE(r.messages[0].caption, QStringLiteral("Data entry required"));
        QCOMPARE(r.messages[0].flags, Critical);
        QCOMPARE(v[1], QStringLiteral("VA0000000"));
        QCOMPARE(v[2], QString());
        QCOMPARE(v[11], QStringLiteral("  Doe, John  "));
        QCOMPARE(v[15], QStringLiteral("wm"));

        // Citation Number and Code Section both empty: one message, field 2.
        v = complete();
        v[2].clear();
        v[32].clear();
        r = ValidateCitationValues(v);
        QCOMPARE(r.invalidField, qint16(2));
        QCOMPARE(r.messages.size(), 1);

        // A missing mandatory field ends the checks: a bad date is not reported.
        v = complete();
        v[3] = QStringLiteral("2/30/2006");
        v[39] = QStringLiteral(" ");
        v[34].clear();
        v[CheckBox::Speeding] = true;
        r = ValidateCitationValues(v);
        QCOMPARE(r.invalidField, qint16(39));
        QCOMPARE(r.messages.size(), 1);
        QCOMPARE(r.messages[0].caption, QStringLiteral("Data entry required"));

        v = complete();
        v[3].clear();
        QCOMPARE(ValidateCitationValues(v).invalidField, qint16(3));
        v = complete();
        v[32].clear();
        QCOMPARE(ValidateCitationValues(v).invalidField, qint16(32));
    }

    void normalising_trimsSpacesAndUpperCasesTheCodes()
    {
        EditorValues v = complete();
        v[2] = QStringLiteral("  A123456 ");
        v[11] = QStringLiteral(" doe, john ");
        v[15] = QStringLiteral(" wm");
        v[21] = QStringLiteral("va ");
        v[30] = QStringLiteral("nc");
        v[31] = QStringLiteral("pc");
        v[48] = QStringLiteral("  first line\r\nsecond line\r\n  ");
        const ValidationResult r = ValidateCitationValues(v);
        QVERIFY2(r.messages.isEmpty(), qPrintable(shown(r)));
        QCOMPARE(r.invalidField, qint16(0));
        QCOMPARE(v[2], QStringLiteral("A123456"));
        QCOMPARE(v[11], QStringLiteral("doe, john"));
        QCOMPARE(v[15], QStringLiteral("WM"));
        QCOMPARE(v[21], QStringLiteral("VA"));
        QCOMPARE(v[30], QStringLiteral("NC"));
        QCOMPARE(v[31], QStringLiteral("pc"));
        // Only spaces are trimmed: the line breaks of the notes stay.
        QCOMPARE(v[48], QStringLiteral("first line\r\nsecond line\r\n"));

        // Upper-casing never makes a storable code unstorable.
        v = complete();
        v[15] = QStringLiteral("µy");
        const ValidationResult micro = ValidateCitationValues(v);
        QVERIFY2(micro.messages.isEmpty(), qPrintable(shown(micro)));
        QCOMPARE(v[15], QStringLiteral("µY"));

        // The trimming stays in the boxes when the save is refused.
        v = complete();
        v[3] = QStringLiteral(" 2/30/2006  ");
        v[11] = QStringLiteral(" Doe ");
        QCOMPARE(ValidateCitationValues(v).invalidField, qint16(3));
        QCOMPARE(v[11], QStringLiteral("Doe"));
    }

    void datesAndTimes_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("impossible day") << 3 << "2/30/2006" << false;
        QTest::newRow("month name") << 3 << "Feb 3, 2006" << true;
        QTest::newRow("dashes, short year") << 3 << "3-2-06" << true;
        QTest::newRow("expiration not a date") << 23 << "soon" << false;
        QTest::newRow("empty offense time") << 4 << "" << true;
        QTest::newRow("empty DOB") << 14 << "" << true;
        QTest::newRow("empty court date") << 41 << "" << true;
        QTest::newRow("offense time") << 4 << "9:05pm" << true;
        QTest::newRow("court time") << 42 << "10:30am" << true;
        QTest::newRow("time typed as a date") << 3 << "9:05pm" << false;
        QTest::newRow("date typed as a time") << 42 << "2/3/06" << false;
        QTest::newRow("impossible time") << 8 << "25:10" << false;
        QTest::newRow("not a date field") << 12 << "2/30/2006" << true;
    }
    void datesAndTimes()
    {
        QFETCH(int, field);
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        EditorValues v = complete();
        v[field] = typed;
        const ValidationResult r = ValidateCitationValues(v);
        if (accepted) {
            QVERIFY2(r.messages.isEmpty(), qPrintable(shown(r)));
            QCOMPARE(r.invalidField, qint16(0));
        } else {
            QCOMPARE(r.invalidField, qint16(field));
            QCOMPARE(r.messages.size(), 1);
            QCOMPARE(r.messages[0].text, dateMessage(typed));
            QCOMPARE(r.messages[0].caption, QStringLiteral("Unrecognizable Date or Time"));
            QCOMPARE(r.messages[0].flags, Critical);
        }
    }

    void datesAndTimes_onlyTheFirstProblemIsReported()
    {
        EditorValues v = complete();
        v[14] = QStringLiteral("yesterday");
        v[41] = QStringLiteral("13/45/2006");
        const ValidationResult r = ValidateCitationValues(v);
        QCOMPARE(r.invalidField, qint16(14));
        QCOMPARE(r.messages.size(), 1);
        QCOMPARE(r.messages[0].text, dateMessage(QStringLiteral("yesterday")));
    }

    void speeding_data()
    {
        QTest::addColumn<bool>("speeding");
        QTest::addColumn<QString>("measured");
        QTest::addColumn<QString>("posted");
        QTest::addColumn<int>("missing");
        QTest::newRow("measured empty") << true << "" << "55" << 34;
        QTest::newRow("measured 0") << true << "0" << "55" << 34;
        QTest::newRow("posted empty") << true << "72" << "" << 35;
        QTest::newRow("posted not a number") << true << "72" << "mph" << 35;
        QTest::newRow("both given") << true << "72" << "55" << 0;
        QTest::newRow("leading number") << true << "72mph" << "55" << 0;
        QTest::newRow("below one") << true << ".4" << "55" << 34;
        QTest::newRow("negative") << true << "72" << "-5" << 35;
        QTest::newRow("not speeding") << false << "" << "abc" << 0;
    }
    void speeding()
    {
        QFETCH(bool, speeding);
        QFETCH(QString, measured);
        QFETCH(QString, posted);
        QFETCH(int, missing);
        EditorValues v = complete();
        v[CheckBox::Speeding] = speeding;
        v[34] = measured;
        v[35] = posted;
        const ValidationResult r = ValidateCitationValues(v);
        QCOMPARE(r.invalidField, qint16(missing));
        if (!missing) {
            QVERIFY2(r.messages.isEmpty(), qPrintable(shown(r)));
            return;
        }
        QCOMPARE(r.messages.size(), 1);
        const QString name = missing == 34 ? QStringLiteral("Measured Speed") : QStringLiteral("Posted Speed");
        QCOMPARE(r.messages[0].text,
                 QStringLiteral("You indicate a Speeding Violation,\r\nbut you didn't enter a ") + name + u'!');
        QCOMPARE(r.messages[0].caption, QStringLiteral("Missing Information"));
        QCOMPARE(r.messages[0].flags, Critical);
    }

    void speeding_afterTheDateProblem()
    {
        // Both reported, date first; the speed field is the one to correct.
        EditorValues v = complete();
        v[CheckBox::Speeding] = true;
        v[34] = QStringLiteral("72");
        v[41] = QStringLiteral("someday");
        ValidationResult r = ValidateCitationValues(v);
        QCOMPARE(r.messages.size(), 2);
        QCOMPARE(r.messages[0].caption, QStringLiteral("Unrecognizable Date or Time"));
        QCOMPARE(r.messages[1].caption, QStringLiteral("Missing Information"));
        QVERIFY(r.messages[1].text.endsWith(QStringLiteral("Posted Speed!")));
        QCOMPARE(r.invalidField, qint16(35));

        // Speeds complete: only the date message.
        v[35] = QStringLiteral("55");
        r = ValidateCitationValues(v);
        QCOMPARE(r.messages.size(), 1);
        QCOMPARE(r.invalidField, qint16(41));
    }

    void unstorableText_isRefusedNamingTheField()
    {
        EditorValues v = complete();
        v[12] = QStringLiteral(" 12 Main St → rear ");
        v[13] = QStringLiteral("  Springfield  ");
        v[32].clear(); // never reached
        ValidationResult r = ValidateCitationValues(v);
        QCOMPARE(r.invalidField, qint16(12));
        QCOMPARE(r.messages.size(), 1);
        QCOMPARE(r.messages[0].caption, QStringLiteral("Unsupported Characters"));
        QCOMPARE(r.messages[0].flags, Critical);
        QCOMPARE(r.messages[0].text,
                 QStringLiteral("The 'Address' field holds characters\r\nthat cannot be stored:\r\n\r\n   →"));
        QCOMPARE(v[12], QStringLiteral("12 Main St → rear"));
        QCOMPARE(v[13], QStringLiteral("  Springfield  "));

        // Each character named once; a pair of surrogates is one character;
        // an invisible one is named by its code; storable accents are fine.
        v = complete();
        v[48] = QStringLiteral("Café 🚓 and 🚓 again\u200B ✓ ✓");
        r = ValidateCitationValues(v);
        QCOMPARE(r.invalidField, qint16(48));
        QCOMPARE(r.messages.size(), 1);
        QCOMPARE(r.messages[0].text,
                 QStringLiteral("The 'Enter any notes or miscellaneous information regarding this citation...' field "
                                "holds characters\r\nthat cannot be stored:\r\n\r\n   🚓  U+200B  ✓"));

        // In field order with the mandatory check.
        v = complete();
        v[1] = QStringLiteral("Ω1");
        v[2].clear();
        QCOMPARE(ValidateCitationValues(v).invalidField, qint16(1));
        v[1] = QStringLiteral("VA1");
        v[11] = QStringLiteral("Ω");
        r = ValidateCitationValues(v);
        QCOMPARE(r.invalidField, qint16(2));
        QCOMPARE(r.messages[0].caption, QStringLiteral("Data entry required"));
    }

    void pageOfField()
    {
        const QList<QPair<int, int>> cases = {{1, 0},  {10, 0}, {11, 1}, {23, 1}, {24, 2}, {31, 2}, {32, 3},
                                              {36, 3}, {37, 4}, {40, 4}, {41, 5}, {47, 5}, {48, 6}, {0, -1}, {49, -1}};
        for (const auto& [field, page] : cases)
            QVERIFY2(PageOfField(field) == page, qPrintable(QStringLiteral("field %1").arg(field)));
    }
};

QTEST_GUILESS_MAIN(tst_Validation)
#include "tst_validation.moc"
