// Editor values as typed or pasted (one line per field, 1..48; a 49th line of
// '1's and '0's ticks the check boxes): validation must not crash, and
// everything it accepts must be storable and survive a round trip: saved,
// shown in the editor again, validated and saved again as an edit, the
// record is the same, byte for byte.
#include "FuzzInput.h"
#include "store/CitationRecord.h"
#include "store/EditorValues.h"
#include "workspace/Validation.h"

#include <QDateTime>
#include <QLocale>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool once = (QLocale::setDefault(QLocale(QStringLiteral("en_US"))), true);
    (void)once;
    const QList<QString> lines = FuzzLines(data, size);
    EditorValues values;
    for (int i = 1; i <= CitationLayout::EditorFieldCount && i <= lines.size(); ++i)
        values[i] = lines[i - 1];
    const QString ticks = lines.value(CitationLayout::EditorFieldCount);
    for (int c = 0; c < int(CheckBox::Count) && c < ticks.size(); ++c)
        values[CheckBox(c)] = ticks[c] == u'1';

    ValidationResult result = ValidateCitationValues(values);
    if (result.invalidField != 0) {
        FUZZ_CHECK(!result.messages.isEmpty(), "field %d refused without a message", int(result.invalidField));
        return 0;
    }
    // Seconds are not shown in the editor, so the moment of entry has none.
    const QDateTime now(QDate(2006, 9, 1), QTime(10, 30));
    CitationRecord first;
    FUZZ_CHECK(FillCitationRecord(values, now, first) == 0, "accepted text not storable");

    EditorValues shown = EditorValuesFromRecord(first);
    result = ValidateCitationValues(shown);
    FUZZ_CHECK(result.invalidField == 0, "the saved citation is refused at field %d: \"%s\"", int(result.invalidField),
               qPrintable(shown[result.invalidField]));
    CitationRecord second;
    FUZZ_CHECK(FillCitationRecord(shown, now, second) == 0, "shown text not storable");
    // The editor shows only the date of the one and the time of the other;
    // saving an edit keeps both moments as they were stored.
    second.setDate(CitationField::DateEntered, first.date(CitationField::DateEntered));
    second.setDate(CitationField::TimeEntered, first.date(CitationField::TimeEntered));
    // A date box keeps a time typed with the date ("8/14/2006 2pm") in the
    // stored value but shows the date alone, so for dates what must hold is
    // what the user sees; every other field must hold byte for byte.
    const EditorValues firstShown = EditorValuesFromRecord(first);
    const EditorValues secondShown = EditorValuesFromRecord(second);
    for (int i = 1; i <= CitationLayout::EditorFieldCount; ++i)
        FUZZ_CHECK(firstShown[i] == secondShown[i], "box %d shows \"%s\", then \"%s\"", i,
                   qPrintable(firstShown[i]), qPrintable(secondShown[i]));
    for (const FieldSpec& f : CitationLayout::fields())
        FUZZ_CHECK(f.type == FieldType::Date || first.bytes().mid(f.offset, f.width) == second.bytes().mid(f.offset, f.width),
                   "field %s changed on the round trip", f.name);
    return 0;
}
