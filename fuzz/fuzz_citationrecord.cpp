// Any bytes as a citation record (a damaged or foreign data file): decoding,
// the editor's view of it, the searched texts and saving the editor's view
// again must neither crash nor read outside the record.
#include "FuzzInput.h"
#include "store/CitationRecord.h"
#include "store/EditorValues.h"
#include "store/SearchMatch.h"

#include <QDateTime>
#include <QLocale>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool once = (QLocale::setDefault(QLocale(QStringLiteral("en_US"))), true);
    (void)once;
    const CitationRecord record = CitationRecord::fromBytes(reinterpret_cast<const char*>(data), qsizetype(size));
    FUZZ_CHECK(record.bytes().size() == CitationLayout::RecordLength, "record of %d bytes", int(record.bytes().size()));
    for (const FieldSpec& f : CitationLayout::fields()) {
        switch (f.type) {
        case FieldType::Text: (void)record.text(f.id); break;
        case FieldType::Int16: (void)record.int16(f.id); break;
        case FieldType::Date: (void)record.date(f.id); break;
        }
    }
    for (int scope = SearchScope::AllText; scope <= SearchScope::Basics; ++scope)
        (void)SearchedText(record.bytes().constData(), scope);

    const EditorValues values = EditorValuesFromRecord(record);
    CitationRecord saved;
    (void)FillCitationRecord(values, QDateTime(QDate(2006, 9, 1), QTime(10, 30)), saved);
    FUZZ_CHECK(saved.bytes().size() == CitationLayout::RecordLength, "saved record of %d bytes",
               int(saved.bytes().size()));
    return 0;
}
