// A CSV file as a user might pick it: the reader must end in a table or a
// message, and every row the import calls ready must be a record that reads
// back as what was checked: a storable citation with its mandatory fields.
#include "FuzzInput.h"
#include "store/CitationRecord.h"
#include "store/CsvTable.h"
#include "workspace/CitationImport.h"

#include <QLocale>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool once = (QLocale::setDefault(QLocale(QStringLiteral("en_US"))), true);
    (void)once;
    CsvTable::Table table;
    QString error;
    const bool read = CsvTable::parse(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)), table, error);
    if (!read) {
        FUZZ_CHECK(!error.isEmpty(), "refused without a message");
        return 0;
    }
    FUZZ_CHECK(table.rowCount() == table.lines.size() && table.cellEnds.size() == table.rowEnds.value(table.rowCount() - 1),
               "%d rows, %d lines", int(table.rowCount()), int(table.lines.size()));
    ImportPreview preview;
    const QDateTime now(QDate(2026, 12, 8), QTime(10, 30));
    if (!CitationImport::previewTable(table, QStringLiteral("fuzz.csv"), {}, {now, QStringLiteral("Fuzz")}, preview,
                                      error)) {
        FUZZ_CHECK(!error.isEmpty(), "preview refused without a message");
        return 0;
    }
    FUZZ_CHECK(preview.rows.size() == table.rowCount() - 1, "rows lost");
    qint64 records = 0;
    for (const ImportRow& row : preview.rows) {
        if (row.state == ImportState::Refused) {
            FUZZ_CHECK(!row.message.isEmpty() && !row.field.isEmpty(), "line %lld refused without a reason",
                       row.line);
            continue;
        }
        FUZZ_CHECK(row.record == records, "record %lld out of order", row.record);
        const CitationRecord record = CitationRecord::fromBytes(
            preview.records.constData() + row.record * CitationLayout::RecordLength, CitationLayout::RecordLength);
        FUZZ_CHECK(!record.text(CitationField::CitationNumber).isEmpty(), "line %lld ready without a number", row.line);
        FUZZ_CHECK(record.int16(CitationField::FormatVersion) == CitationLayout::CurrentFormatVersion, "version");
        ++records;
    }
    FUZZ_CHECK(preview.records.size() == records * CitationLayout::RecordLength, "records and rows differ");
    return 0;
}
