#include "store/CitationCsv.h"

#include "store/CitationFile.h"
#include "store/CitationRecord.h"
#include "store/DateValue.h"
#include "store/EditorValues.h"
#include "store/FileIo.h"

#include <QFileInfo>

namespace {

using F = CitationField;

bool isTimeField(F f) { return f == F::OffenseTime || f == F::TimeEntered || f == F::CourtTime; }

// Headings of the full export: the editor's labels, told apart where two
// boxes share one ("State") and named where the editor shows none.
QString fieldHeading(const FieldSpec& f)
{
    for (const CheckBoxSpec& c : EditorLayout::checkBoxes())
        if (c.field == f.id)
            return QString::fromLatin1(c.caption);
    switch (f.id) {
    case F::LicenseState: return QStringLiteral("License State");
    case F::TagState: return QStringLiteral("Tag State");
    case F::TagType: return QStringLiteral("Tag Type");
    case F::StateOrLocal: return QStringLiteral("State/Local");
    case F::SpeedMethod: return QStringLiteral("Speed Measured By");
    case F::TestType: return QStringLiteral("Test Type");
    case F::Weather: return QStringLiteral("Weather");
    case F::RoadSurface: return QStringLiteral("Road Surface");
    case F::RoadType: return QStringLiteral("Road Type");
    case F::Traffic: return QStringLiteral("Traffic");
    case F::Lighting: return QStringLiteral("Lighting");
    case F::SceneDisposition: return QStringLiteral("Scene Disposition");
    case F::Notes: return QStringLiteral("Notes");
    default: break;
    }
    return EditorLayout::fieldLabel(f.editorIndex);
}

QString dateCell(DateValue v, bool always)
{
    if ((v == 0.0 && !always) || !IsInDateRange(v))
        return QString();
    return DatePart(v).toString(QStringLiteral("yyyy-MM-dd"));
}

QString timeCell(DateValue v)
{
    if (v == 0.0 || !IsInDateRange(v))
        return QString();
    return TimePart(v).toString(QStringLiteral("hh:mm"));
}

QString int16Cell(const char* record, const FieldSpec& f)
{
    const qint16 v = CitationBytes::int16(record, f.id);
    for (const CheckBoxSpec& c : EditorLayout::checkBoxes())
        if (c.field == f.id)
            return v != 0 ? QStringLiteral("Yes") : QStringLiteral("No");
    for (const OptionGroupSpec& g : EditorLayout::optionGroups())
        if (g.field == f.id)
            return (v >= 1 && v <= g.choiceCount) ? QString::fromLatin1(g.captions[size_t(v - 1)]) : QString();
    // The speeds: the editor shows nothing below 1.
    return v >= 1 ? QString::number(v) : QString();
}

// Pieces handed to the sink are about this large.
constexpr qsizetype PieceBytes = 1 << 20;

} // namespace

namespace CitationCsv {

QByteArray byteOrderMark() { return QByteArray("\xEF\xBB\xBF", 3); }

QStringList header(CsvColumns columns)
{
    if (columns == CsvColumns::Listed)
        return {QStringLiteral("Date"), QStringLiteral("Citation#"), QStringLiteral("Offense"),
                QStringLiteral("Location")};
    QStringList out;
    for (const FieldSpec& f : CitationLayout::fields())
        if (f.id != F::FormatVersion)
            out << fieldHeading(f);
    return out;
}

QStringList cells(const char* record, CsvColumns columns)
{
    if (columns == CsvColumns::Listed)
        return {dateCell(CitationBytes::date(record, F::OffenseDate), true),
                CitationBytes::text(record, F::CitationNumber), CitationBytes::text(record, F::CodeSection),
                CitationBytes::text(record, F::OccurredOn) + QStringLiteral(" / ")
                    + CitationBytes::text(record, F::OccurredAt)};
    QStringList out;
    for (const FieldSpec& f : CitationLayout::fields()) {
        switch (f.type) {
        case FieldType::Text:
            out << CitationBytes::text(record, f.id);
            break;
        case FieldType::Date: {
            const DateValue v = CitationBytes::date(record, f.id);
            out << (isTimeField(f.id) ? timeCell(v) : dateCell(v, f.id == F::OffenseDate));
            break;
        }
        case FieldType::Int16:
            if (f.id != F::FormatVersion)
                out << int16Cell(record, f);
            break;
        }
    }
    return out;
}

QString cell(const QString& value)
{
    QString v = value;
    // A spreadsheet takes these first characters as the start of a formula
    // (or of a cell it splits); the apostrophe makes it show the text.
    if (!v.isEmpty()) {
        const QChar c = v.front();
        if (c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r')
            v.prepend(u'\'');
    }
    if (v.contains(u'"') || v.contains(u',') || v.contains(u'\r') || v.contains(u'\n')) {
        v.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        v = u'"' + v + u'"';
    }
    return v;
}

QByteArray row(const QStringList& cells)
{
    QString line;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i)
            line += u',';
        line += cell(cells[i]);
    }
    line += QStringLiteral("\r\n");
    return line.toUtf8();
}

} // namespace CitationCsv

bool WriteCitationCsv(const CitationSource& source, const QList<int>& recNums, CsvColumns columns,
                      const std::function<bool(const QByteArray&)>& sink, FileError& error, int& written,
                      const ProgressFn& progress)
{
    written = 0;
    QByteArray piece = CitationCsv::byteOrderMark() + CitationCsv::row(CitationCsv::header(columns));
    bool stopped = false;
    const bool read = source(
        recNums,
        [&](int, const char* record) {
            piece += CitationCsv::row(CitationCsv::cells(record, columns));
            ++written;
            if (progress && !progress(written, recNums.size())) {
                error.clear();
                stopped = true;
                return false;
            }
            if (piece.size() >= PieceBytes) {
                if (!sink(piece)) {
                    stopped = true;
                    return false;
                }
                piece.clear();
            }
            return true;
        },
        error);
    if (!read || stopped)
        return false;
    return sink(piece);
}

bool WriteCitationCsv(CitationFileView& reader, const QList<int>& recNums, CsvColumns columns,
                      const std::function<bool(const QByteArray&)>& sink, FileError& error, int& written,
                      const ProgressFn& progress)
{
    return WriteCitationCsv(ViewSource(reader), recNums, columns, sink, error, written, progress);
}

int ExportCitationCsvFile(const QString& target, const QList<int>& recNums, CsvColumns columns, FileError& error,
                          const QString& dataFile, const ProgressFn& progress)
{
    error.clear();
    CitationFileView reader(dataFile);
    if (!reader.open()) {
        error = reader.lastError();
        return -1;
    }
    return ExportCitationCsvFile(target, recNums, columns, ViewSource(reader), error, progress);
}

int ExportCitationCsvFile(const QString& target, const QList<int>& recNums, CsvColumns columns,
                          const CitationSource& source, FileError& error, const ProgressFn& progress)
{
    error.clear();
    const QFileInfo info(target);
    if (info.exists() && !info.isFile()) {
        error = {target, QStringLiteral("could not be written: it is not a regular file")};
        return -1;
    }
    const QString work = info.absoluteFilePath() + QStringLiteral(".part");
    FileIo::File out;
    QString what;
    if (!out.open(work, FileIo::File::CreateNew, what)) {
        error = {target, QStringLiteral("could not be written: the work file \"%1\" %2")
                             .arg(QFileInfo(work).fileName(), what)};
        return -1;
    }
    // A file written over keeps who may read it.
    if (info.exists()) {
        FileIo::File old;
        QString ignored;
        if (old.open(target, FileIo::File::ReadOnly, ignored))
            out.setPermissions(old.permissions());
    }
    qint64 at = 0;
    QString writeFailure;
    auto sink = [&](const QByteArray& bytes) {
        if (!out.writeAt(at, bytes.constData(), bytes.size())) {
            writeFailure = out.reason();
            return false;
        }
        at += bytes.size();
        return true;
    };
    int written = 0;
    auto fail = [&](const FileError& failure) {
        error = failure;
        out.close();
        QString ignored;
        FileIo::removeFile(work, ignored);
        return -1;
    };
    if (!WriteCitationCsv(source, recNums, columns, sink, error, written, progress)) {
        if (!error.isError() && writeFailure.isEmpty())
            return fail(FileError{}); // stopped by the user
        return fail(error.isError() ? error
                                    : FileError{target, QStringLiteral("could not be written: %1").arg(writeFailure)});
    }
    if (!out.sync())
        return fail({target, QStringLiteral("could not be written: %1").arg(out.reason())});
    out.close();
    FileError renameError;
    if (!FileIo::replaceFile(work, target, renameError))
        return fail(renameError);
    return written;
}
