#include "workspace/CitationImport.h"

#include "storage/AuditEvents.h"
#include "storage/AuditStore.h"
#include "storage/Storage.h"
#include "store/AnsiText.h"
#include "store/CitationCsv.h"
#include "store/CitationFile.h"
#include "store/CitationNumberIndex.h"
#include "store/DataFileNames.h"
#include "store/EditorValues.h"
#include "store/RecordFile.h"
#include "workspace/Validation.h"

#include <QFileInfo>
#include <QHash>
#include <QtEndian>
#include <cstring>

using CitationLayout::RecordLength;

DataFolderImportStore::DataFolderImportStore(QString fileName)
    : m_fileName(fileName.isEmpty() ? CitationFileName : std::move(fileName))
{
}

bool DataFolderImportStore::citationNumbers(QSet<QString>& numbers, FileError& error)
{
    numbers.clear();
    CitationFileView view(m_fileName);
    if (!view.open()) {
        error = view.lastError();
        return false;
    }
    numbers.reserve(view.count());
    for (int n = 1; n <= view.count(); ++n) {
        const char* record = view.record(n);
        if (!record) {
            error = view.lastError();
            return false;
        }
        numbers.insert(CitationNumberIndex::normalised(CitationBytes::text(record, CitationField::CitationNumber)));
    }
    return true;
}

bool DataFolderImportStore::appendAll(qint64 count, const std::function<const char*(qint64 i)>& recordAt,
                                      FileError& error)
{
    return RecordFile::AppendRecords(m_fileName, RecordLength, count, recordAt, CitationRecord().bytes(), error) >= 0;
}

bool StorageImportStore::citationNumbers(QSet<QString>& numbers, FileError& error)
{
    numbers.clear();
    return m_store.forEach(
        [&numbers](CitationKey, const char* record) {
            numbers.insert(
                CitationNumberIndex::normalised(CitationBytes::text(record, CitationField::CitationNumber)));
            return true;
        },
        error);
}

bool StorageImportStore::appendAll(qint64 count, const std::function<const char*(qint64 i)>& recordAt,
                                   FileError& error)
{
    std::vector<CitationRecord> records;
    records.reserve(size_t(count));
    for (qint64 i = 0; i < count; ++i)
        records.push_back(CitationRecord::fromBytes(recordAt(i), RecordLength));
    CitationKey first = 0;
    return m_store.addAll(records, first, error);
}

int ImportPreview::count(ImportState state) const
{
    int n = 0;
    for (const ImportRow& row : rows)
        n += row.state == state;
    return n;
}

namespace {

using F = CitationField;

// What a column of the file fills.
struct Column {
    enum Kind { Ignored, Text, Check, Option } kind = Ignored;
    int index = 0; // Text: the txtField; Check: CheckBox; Option: OptionGroup
    QString heading;
};

// The columns Export List writes, in its order, with what each fills.
const QList<Column>& knownColumns()
{
    static const QList<Column> columns = [] {
        QList<Column> out;
        const QStringList headings = CitationCsv::header(CsvColumns::Every);
        qsizetype k = 0;
        for (const FieldSpec& f : CitationLayout::fields()) {
            if (f.id == F::FormatVersion)
                continue;
            Column c;
            c.heading = headings.value(k++);
            if (f.editorIndex > 0) {
                // The moment of entry is the import's, whatever the file says.
                const bool entered = f.id == F::DateEntered || f.id == F::TimeEntered;
                c.kind = entered ? Column::Ignored : Column::Text;
                c.index = f.editorIndex;
            }
            for (const CheckBoxSpec& b : EditorLayout::checkBoxes())
                if (b.field == f.id)
                    c = {Column::Check, int(b.id), c.heading};
            for (const OptionGroupSpec& g : EditorLayout::optionGroups())
                if (g.field == f.id)
                    c = {Column::Option, int(g.id), c.heading};
            out.append(c);
        }
        return out;
    }();
    return columns;
}

QString headingKey(const QString& heading) { return heading.simplified().toCaseFolded(); }

// A heading as it is named in a message: cut short, with what would not show
// (control characters of a binary file) as "?".
QString shownHeading(const QString& heading)
{
    QString shown = heading.left(40);
    for (QChar& c : shown)
        if (!c.isPrint())
            c = u'?';
    if (heading.size() > 40)
        shown += QStringLiteral("...");
    return u'"' + shown + u'"';
}

// The cell as the exporter meant it: a leading apostrophe that kept a
// spreadsheet from running the cell as a formula goes again. Nothing in a
// cell is ever evaluated.
QString cellText(const QString& cell)
{
    if (cell.size() >= 2 && cell.front() == u'\'') {
        const QChar c = cell.at(1);
        if (c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r')
            return cell.mid(1);
    }
    return cell;
}

// One line of a validation message, for the preview's column.
QString oneLine(const QString& text) { return QString(text).replace(QLatin1String("\r\n"), QLatin1String(" ")).simplified(); }

struct Refusal {
    QString field;
    QString message;
};

std::optional<bool> checkValue(const QString& text)
{
    static const QStringList yes{QStringLiteral("yes"), QStringLiteral("y"), QStringLiteral("true"),
                                 QStringLiteral("1"), QStringLiteral("x")};
    static const QStringList no{QString(), QStringLiteral("no"), QStringLiteral("n"), QStringLiteral("false"),
                                QStringLiteral("0")};
    const QString t = text.trimmed().toLower();
    if (yes.contains(t))
        return true;
    if (no.contains(t))
        return false;
    return std::nullopt;
}

int optionValue(const OptionGroupSpec& g, const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return g.initialChoice;
    for (int i = 0; i < g.choiceCount; ++i)
        if (t.compare(QLatin1String(g.captions[size_t(i)]), Qt::CaseInsensitive) == 0)
            return i + 1;
    bool ok = false;
    const int n = t.toInt(&ok);
    return ok && n >= 1 && n <= g.choiceCount ? n : 0;
}

QString choicesOf(const OptionGroupSpec& g)
{
    QStringList out;
    for (int i = 0; i < g.choiceCount; ++i)
        out << QLatin1String(g.captions[size_t(i)]);
    return out.join(QStringLiteral(", "));
}

// Fills the editor's values from a row; the first cell that no editor box
// could hold refuses the row.
std::optional<Refusal> fillValues(const QStringList& cells, const QList<int>& columnOf, EditorValues& values)
{
    const QList<Column>& known = knownColumns();
    for (qsizetype k = 0; k < known.size(); ++k) {
        const int at = columnOf[k];
        if (at < 0 || known[k].kind == Column::Ignored)
            continue;
        const Column& c = known[k];
        QString text = cellText(cells.value(at));
        switch (c.kind) {
        case Column::Text: {
            if (c.index == 48) {
                // Spreadsheets break lines with LF alone; the file holds CR LF.
                bool bareLineFeed = false;
                for (qsizetype i = text.indexOf(u'\n'); i >= 0 && !bareLineFeed; i = text.indexOf(u'\n', i + 1))
                    bareLineFeed = i == 0 || text.at(i - 1) != u'\r';
                if (bareLineFeed) {
                    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
                    text.replace(QLatin1String("\n"), QLatin1String("\r\n"));
                }
            } else if (text.contains(u'\r') || text.contains(u'\n')) {
                return Refusal{c.heading, QStringLiteral("The field has one line; the cell holds a line break.")};
            }
            const int limit = EditorLayout::inputLimit(c.index);
            const bool converted = EditorLayout::isDateField(c.index) || EditorLayout::isTimeField(c.index);
            const qsizetype length = Ansi::trimSpaces(text).size();
            if (!converted && length > limit)
                return Refusal{c.heading, QStringLiteral("The field holds at most %1 characters; the cell has %2.")
                                              .arg(limit)
                                              .arg(length)};
            values[c.index] = text;
            break;
        }
        case Column::Check: {
            const std::optional<bool> v = checkValue(text);
            if (!v)
                return Refusal{c.heading, QStringLiteral("'%1' is not Yes or No.").arg(text.trimmed())};
            values[CheckBox(c.index)] = *v;
            break;
        }
        case Column::Option: {
            const OptionGroupSpec& g = EditorLayout::optionGroup(OptionGroup(c.index));
            const int v = optionValue(g, text);
            if (v == 0)
                return Refusal{c.heading,
                               QStringLiteral("'%1' is not one of %2.").arg(text.trimmed(), choicesOf(g))};
            values[OptionGroup(c.index)] = v;
            break;
        }
        case Column::Ignored:
            break;
        }
    }
    return std::nullopt;
}

QString headingOfField(int index)
{
    for (const Column& c : knownColumns())
        if (c.kind == Column::Text && c.index == index)
            return c.heading;
    return EditorLayout::fieldLabel(index);
}

} // namespace

namespace CitationImport {

bool previewTable(const CsvTable::Table& table, const QString& fileName, const QSet<QString>& numbersOnFile,
                  const ImportContext& context, ImportPreview& out, QString& error, const Progress& progress)
{
    out = ImportPreview();
    out.fileName = fileName;
    out.utf8 = table.utf8;
    if (table.rowCount() == 0) {
        error = QStringLiteral("The file \"%1\" holds no rows.").arg(fileName);
        return false;
    }

    // Which column of the file fills which field.
    const QList<Column>& known = knownColumns();
    QHash<QString, qsizetype> knownByKey;
    for (qsizetype k = 0; k < known.size(); ++k)
        knownByKey.insert(headingKey(known[k].heading), k);
    QList<int> columnOf(known.size(), -1);
    const QStringList header = table.row(0);
    int matched = 0;
    for (qsizetype at = 0; at < header.size(); ++at) {
        const auto k = knownByKey.constFind(headingKey(header[at]));
        if (k == knownByKey.cend()) {
            out.ignoredColumns << (header[at].trimmed().isEmpty()
                                       ? QStringLiteral("column %1 (no heading)").arg(at + 1)
                                       : shownHeading(header[at].trimmed()));
        } else if (columnOf[*k] >= 0) {
            out.ignoredColumns << shownHeading(header[at].trimmed()) + QStringLiteral(" (a second time)");
        } else {
            columnOf[*k] = int(at);
            ++matched;
        }
    }
    if (matched == 0) {
        QStringList found;
        for (const QString& h : header.mid(0, 8))
            found << shownHeading(h);
        if (header.size() > 8)
            found << QStringLiteral("...");
        error = QStringLiteral("None of the column headings of \"%1\" is one that Export List writes, so none of "
                               "its columns can be imported. Its first row holds: %2.")
                    .arg(fileName, found.join(QStringLiteral(", ")));
        return false;
    }

    QHash<QString, qint64> lineOfNumber;
    out.rows.reserve(table.rowCount() - 1);
    out.records.reserve((table.rowCount() - 1) * RecordLength);
    for (qsizetype r = 1; r < table.rowCount(); ++r) {
        if (progress && r % 1000 == 0 && !progress(int(r * 100 / table.rowCount()))) {
            error.clear();
            return false;
        }
        ImportRow row;
        row.line = table.line(r);
        const QStringList cells = table.row(r);
        auto cell = [&](F f) {
            for (qsizetype k = 0; k < known.size(); ++k)
                if (known[k].kind == Column::Text && CitationLayout::editorField(known[k].index).id == f)
                    return columnOf[k] >= 0 ? cellText(cells.value(columnOf[k])).trimmed() : QString();
            return QString();
        };
        row.citationNumber = cell(F::CitationNumber);
        row.offenseDate = cell(F::OffenseDate);
        row.codeSection = cell(F::CodeSection);

        EditorValues values;
        if (const std::optional<Refusal> refusal = fillValues(cells, columnOf, values)) {
            row.state = ImportState::Refused;
            row.field = refusal->field;
            row.message = refusal->message;
            out.rows.append(row);
            continue;
        }
        if (Ansi::trimSpaces(values[9]).isEmpty())
            values[9] = context.enteredBy.left(CitationLayout::field(F::EnteredBy).width);
        ValidationResult result = ValidateCitationValues(values);
        if (result.invalidField != 0) {
            row.state = ImportState::Refused;
            row.field = headingOfField(result.invalidField);
            QStringList texts;
            for (const ValidationMessage& m : result.messages)
                texts << oneLine(m.text);
            row.message = texts.join(u' ');
            out.rows.append(row);
            continue;
        }
        CitationRecord record;
        FillCitationRecord(values, context.now, record);

        const QString number = CitationNumberIndex::normalised(values[2]);
        if (numbersOnFile.contains(number)) {
            row.state = ImportState::DuplicateOnFile;
            row.message = QStringLiteral("A citation with this number is on file.");
        } else if (const auto first = lineOfNumber.constFind(number); first != lineOfNumber.cend()) {
            row.state = ImportState::DuplicateInFile;
            row.message = QStringLiteral("The row on line %1 has this number too.").arg(*first);
        } else {
            lineOfNumber.insert(number, row.line);
        }
        row.record = out.records.size() / RecordLength;
        out.records += record.bytes();
        out.rows.append(row);
    }
    return true;
}

bool preview(const QString& path, CitationImportStore& store, const ImportContext& context, ImportPreview& out,
             QString& error, const Progress& progress)
{
    // Reading the file is the first half of the way, checking its rows the second.
    CsvTable::Progress reading;
    if (progress)
        reading = [&](qint64 done, qint64 total) { return progress(total > 0 ? int(done * 50 / total) : 0); };
    CsvTable::Table table;
    if (!CsvTable::read(path, table, error, reading))
        return false;
    QSet<QString> numbers;
    FileError storeError;
    if (!store.citationNumbers(numbers, storeError)) {
        error = storeError.message();
        return false;
    }
    Progress checking;
    if (progress)
        checking = [&](int percent) { return progress(50 + percent / 2); };
    const bool read = previewTable(table, QFileInfo(path).fileName(), numbers, context, out, error, checking);
    out.path = QFileInfo(path).absoluteFilePath();
    return read;
}

qint64 commit(CitationImportStore& store, const ImportPreview& preview, const QSet<int>& alsoRows,
              const QDateTime& now, FileError& error)
{
    QList<qint64> chosen;
    for (qsizetype r = 0; r < preview.rows.size(); ++r) {
        const ImportRow& row = preview.rows[r];
        if (row.state == ImportState::Ready || (row.state != ImportState::Refused && alsoRows.contains(int(r))))
            chosen << row.record;
    }
    if (chosen.isEmpty())
        return 0;
    const double entered = ToDateValue(now);
    char entry[8];
    qToLittleEndian<double>(entered, entry);
    QByteArray scratch(RecordLength, Qt::Uninitialized);
    auto recordAt = [&](qint64 i) -> const char* {
        std::memcpy(scratch.data(), preview.records.constData() + chosen[i] * RecordLength, RecordLength);
        for (F f : {F::DateEntered, F::TimeEntered})
            std::memcpy(scratch.data() + CitationLayout::field(f).offset, entry, sizeof entry);
        return scratch.constData();
    };
    // The audit trail records the import (who, when, how many, from which
    // file) before the rows are written and takes it back when they are not.
    // The user log holds log-in and log-out lines only, and its readers
    // expect no other kind.
    const AuditEntry imported =
        AuditEvents::import(preview.path.isEmpty() ? preview.fileName : preview.path, chosen.size());
    if (!RunAuditedChange(imported, error, [&](FileError& e) { return store.appendAll(chosen.size(), recordAt, e); }))
        return -1;
    return chosen.size();
}

} // namespace CitationImport
