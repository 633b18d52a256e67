#include "store/CitationCheck.h"

#include "store/EditorValues.h"

#include <cstring>

namespace CitationCheck {
namespace {

// Dates from this range are what a citation can plausibly carry.
const QDate EarliestDate(1900, 1, 1);
const QDate LatestDate(2199, 12, 31);

QString nameOf(CitationField f) { return QLatin1String(CitationLayout::field(f).name); }

// A date or time field: damage when no calendar holds the value, a doubt
// when it is not what the field is for.
void checkDate(const FieldSpec& f, DateValue v, QList<Finding>& out)
{
    const bool timeOnly = f.id == CitationField::OffenseTime || f.id == CitationField::CourtTime;
    Kind kind = Kind::UnlikelyDate;
    bool found = false;
    if (v == 0.0) {
        found = f.id == CitationField::OffenseDate;
    } else if (!IsInDateRange(v)) {
        found = true;
        kind = Kind::Date;
    } else if (timeOnly) {
        found = v < 0.0 || v >= 1.0;
    } else if (f.id != CitationField::TimeEntered) {
        const QDate d = DatePart(v);
        found = d < EarliestDate || d > LatestDate;
    }
    if (found)
        out.append({kind, f.id,
                    nameOf(f.id) + QStringLiteral(" holds no plausible ")
                        + QLatin1String(timeOnly ? "time" : "date") + QStringLiteral(" (")
                        + QString::number(v, 'g', 17) + u')'});
}

} // namespace

QList<Finding> findings(const char* record, qint64 bytesOnFile)
{
    QList<Finding> out;
    if (bytesOnFile < CitationLayout::RecordLength)
        out.append({Kind::Incomplete, CitationField::FormatVersion,
                    QStringLiteral("only %1 of its %2 bytes are in the file")
                        .arg(qMax<qint64>(bytesOnFile, 0))
                        .arg(CitationLayout::RecordLength)});
    const qint16 version = CitationBytes::int16(record, CitationField::FormatVersion);
    if (!IsCurrentFormatVersion(version))
        out.append({Kind::Version, CitationField::FormatVersion,
                    QStringLiteral("FormatVersion holds %1, not a version this program writes").arg(version)});
    if (CitationBytes::text(record, CitationField::NCICNumber) == CitationLayout::KilledMarker)
        out.append({Kind::Killed, CitationField::NCICNumber,
                    QStringLiteral("is marked \"") + CitationLayout::KilledMarker + u'"'});

    for (const FieldSpec& f : CitationLayout::fields()) {
        switch (f.type) {
        case FieldType::Date:
            checkDate(f, CitationBytes::date(record, f.id), out);
            break;
        case FieldType::Text:
            // Only the part the file holds: a cut record is completed with blanks.
            if (f.offset < bytesOnFile
                && std::memchr(record + f.offset, '\0', size_t(qMin<qint64>(f.width, bytesOnFile - f.offset))))
                out.append({Kind::Text, f.id, nameOf(f.id) + QStringLiteral(" holds NUL bytes")});
            break;
        case FieldType::Int16:
            break;
        }
    }
    for (const CheckBoxSpec& c : EditorLayout::checkBoxes()) {
        const qint16 v = CitationBytes::int16(record, c.field);
        if (v != 0 && v != 1)
            out.append({Kind::Choice, c.field, nameOf(c.field) + QStringLiteral(" holds %1").arg(v)});
    }
    for (const OptionGroupSpec& g : EditorLayout::optionGroups()) {
        const qint16 v = CitationBytes::int16(record, g.field);
        if (v < 1 || v > g.choiceCount)
            out.append({Kind::Choice, g.field, nameOf(g.field) + QStringLiteral(" holds %1").arg(v)});
    }
    return out;
}

QString damage(const char* record, qint64 bytesOnFile)
{
    QStringList parts;
    for (const Finding& f : findings(record, bytesOnFile))
        if (f.isDamage())
            parts << f.text;
    return parts.join(QStringLiteral("; "));
}

qint64 BytesOnFile(qint64 length, int n)
{
    const qint64 start = qint64(n - 1) * CitationLayout::RecordLength;
    return qBound(qint64(0), length - start, qint64(CitationLayout::RecordLength));
}

} // namespace CitationCheck
