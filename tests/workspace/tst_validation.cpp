// The checks run before a citation is saved.
#include "platform/Messages.h"
#include "workspace/Validation.h"

#include <QLocale>
#include <QtTest>

namespace {

const QString Data = QStringLiteral("Data entry required");
const QString Date = QStringLiteral("Unrecognizable Date or Time");
const QString Speed = QStringLiteral("Missing Information");
const QString Unstorable = QStringLiteral("Unsupported Characters");

struct Case {
    const char* name;
    QList<QPair<int, QString>> typed; // over a citation whose four mandatory fields are filled
    bool speeding;
    int invalid;
    QStringList captions;
};

ValidationResult check(const QList<QPair<int, QString>>& typed, bool speeding, EditorValues* out = nullptr)
{
    EditorValues v;
    v[2] = QStringLiteral("A123456");
    v[3] = QStringLiteral("03/05/2006");
    v[32] = QStringLiteral("46.2-862");
    v[39] = QStringLiteral("Rt 1 NB");
    for (const auto& [field, text] : typed)
        v[field] = text;
    v[CheckBox::Speeding] = speeding;
    const ValidationResult r = ValidateCitationValues(v);
    if (out)
        *out = v;
    return r;
}

} // namespace

class tst_Validation : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void firstProblemAndMessageOrder()
    {
        const QList<Case> cases = {
            {"only spaces count as empty", {{2, "   "}}, false, 2, {Data}},
            {"field 2 before 32, one message", {{2, ""}, {32, ""}}, false, 2, {Data}},
            {"a missing entry ends the checks", {{3, "2/30/2006"}, {39, " "}, {34, ""}}, true, 39, {Data}},
            {"impossible date", {{3, "2/30/2006"}}, false, 3, {Date}},
            {"month name", {{3, "Feb 3, 2006"}}, false, 0, {}},
            {"dashes and a short year", {{3, "3-2-06"}}, false, 0, {}},
            {"expiration not a date", {{23, "soon"}}, false, 23, {Date}},
            {"empty optional dates and times", {{4, ""}, {14, ""}, {41, ""}}, false, 0, {}},
            {"times", {{4, "9:05pm"}, {42, "10:30am"}}, false, 0, {}},
            {"a time typed as a date", {{3, "9:05pm"}}, false, 3, {Date}},
            {"a date typed as a time", {{42, "2/3/06"}}, false, 42, {Date}},
            {"the epoch typed is a date", {{3, "12/30/1899"}, {14, "12/30/1899"}}, false, 0, {}},
            {"a year cut to three digits", {{3, "Feb 3, 200"}}, false, 3, {Date}},
            {"a year before 100", {{41, "2/3/0099"}}, false, 41, {Date}},
            {"only the first date", {{14, "yesterday"}, {41, "13/45/2006"}}, false, 14, {Date}},
            {"measured speed empty", {{35, "55"}}, true, 34, {Speed}},
            {"posted speed empty", {{34, "72"}}, true, 35, {Speed}},
            {"both speeds", {{34, "72mph"}, {35, "55"}}, true, 0, {}},
            {"a speed stored as 0", {{34, ".4"}, {35, "55"}}, true, 34, {Speed}},
            {"a negative speed", {{34, "72"}, {35, "-5"}}, true, 35, {Speed}},
            {"speeds ignored when not speeding", {{35, "abc"}}, false, 0, {}},
            {"date first, then speed", {{41, "someday"}, {34, "72"}}, true, 35, {Date, Speed}},
            {"speeds given, bad court date", {{41, "someday"}, {34, "72"}, {35, "55"}}, true, 41, {Date}},
            {"unstorable text ends the checks", {{12, "Main → rear"}, {32, ""}}, false, 12, {Unstorable}},
            {"unstorable before a later missing entry", {{1, "Ω1"}, {2, ""}}, false, 1, {Unstorable}},
            {"missing entry before later unstorable text", {{2, ""}, {11, "Ω"}}, false, 2, {Data}},
            {"storable accents", {{11, "Müller, José"}}, false, 0, {}},
        };
        for (const Case& c : cases) {
            const ValidationResult r = check(c.typed, c.speeding);
            QStringList captions;
            for (const ValidationMessage& m : r.messages) {
                captions << m.caption;
                QCOMPARE(m.flags, Msg::Critical | Msg::OKOnly);
            }
            QVERIFY2(r.invalidField == c.invalid && captions == c.captions,
                     qPrintable(QStringLiteral("%1: field %2, shown [%3]").arg(c.name).arg(r.invalidField).arg(captions.join(u','))));
        }
    }

    void messageTexts()
    {
        QCOMPARE(check({{2, ""}}, false).messages[0].text,
                 QStringLiteral("The data fields that are\r\nindicated by a red label\r\nare mandatory entries."));
        QCOMPARE(check({{3, " 2/30/2006 "}}, false).messages[0].text,
                 QStringLiteral("I don't recognize\r\n\r\n   2/30/2006\r\n\r\nas a valid date or time."));
        QCOMPARE(check({}, true).messages[0].text,
                 QStringLiteral("You indicate a Speeding Violation,\r\nbut you didn't enter a Measured Speed!"));
        QCOMPARE(check({{34, "72"}}, true).messages[0].text,
                 QStringLiteral("You indicate a Speeding Violation,\r\nbut you didn't enter a Posted Speed!"));
        QCOMPARE(check({{12, "12 Main St → rear"}}, false).messages[0].text,
                 QStringLiteral("The 'Address' field holds characters\r\nthat cannot be stored:\r\n\r\n   →"));
        // Each character once, a surrogate pair as one, an invisible one by its code.
        QCOMPARE(check({{48, "Café 🚓 and 🚓\u200B ✓ ✓"}}, false).messages[0].text,
                 QStringLiteral("The 'Enter any notes or miscellaneous information regarding this citation...' field "
                                "holds characters\r\nthat cannot be stored:\r\n\r\n   🚓  U+200B  ✓"));
    }

    void normalising()
    {
        EditorValues v;
        check({{1, " VA1 "}, {11, " doe, john "}, {15, " wm"}, {21, "va "}, {30, "nc"}, {31, "pc"},
               {48, "  first\r\nsecond\r\n  "}},
              false, &v);
        QCOMPARE(v[1], QStringLiteral("VA1"));
        QCOMPARE(v[11], QStringLiteral("doe, john"));
        QCOMPARE(v[15] + v[21] + v[30] + v[31], QStringLiteral("WMVANCpc"));
        QCOMPARE(v[48], QStringLiteral("first\r\nsecond\r\n")); // only spaces are trimmed

        // Upper-casing never turns a storable code into an unstorable one.
        QVERIFY(check({{15, "µy"}}, false, &v).messages.isEmpty());
        QCOMPARE(v[15], QStringLiteral("µY"));

        // Boxes before the problem stay trimmed, boxes after a missing entry stay as typed.
        check({{1, " VA1 "}, {32, " "}, {40, " MM 12 "}}, false, &v);
        QCOMPARE(v[1] + u'|' + v[40], QStringLiteral("VA1| MM 12 "));
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
