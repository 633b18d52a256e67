#include "store/CitationRecord.h"

#include "store/AnsiText.h"

#include <QtEndian>
#include <cstring>

namespace CitationLayout {
namespace {

using F = CitationField;
using T = FieldType;

constexpr std::array<FieldSpec, size_t(F::Count)> Fields{{
    {F::FormatVersion, "FormatVersion", 0, 2, T::Int16, 0},
    {F::NCICNumber, "NCICNumber", 2, 16, T::Text, 1},
    {F::CitationNumber, "CitationNumber", 18, 12, T::Text, 2},
    {F::OffenseDate, "OffenseDate", 30, 8, T::Date, 3},
    {F::OffenseTime, "OffenseTime", 38, 8, T::Date, 4},
    {F::IssuingOfficer, "IssuingOfficer", 46, 30, T::Text, 5},
    {F::OfficerID, "OfficerID", 76, 15, T::Text, 6},
    {F::DateEntered, "DateEntered", 91, 8, T::Date, 7},
    {F::TimeEntered, "TimeEntered", 99, 8, T::Date, 8},
    {F::EnteredBy, "EnteredBy", 107, 30, T::Text, 9},
    {F::ReviewedBy, "ReviewedBy", 137, 30, T::Text, 10},
    {F::DefendantName, "DefendantName", 167, 30, T::Text, 11},
    {F::Address, "Address", 197, 30, T::Text, 12},
    {F::CityStateZip, "CityStateZip", 227, 40, T::Text, 13},
    {F::DOB, "DOB", 267, 8, T::Date, 14},
    {F::RaceSex, "RaceSex", 275, 3, T::Text, 15},
    {F::Height, "Height", 278, 6, T::Text, 16},
    {F::Weight, "Weight", 284, 3, T::Text, 17},
    {F::Hair, "Hair", 287, 10, T::Text, 18},
    {F::Eyes, "Eyes", 297, 10, T::Text, 19},
    {F::LicenseNumber, "LicenseNumber", 307, 20, T::Text, 20},
    {F::LicenseState, "LicenseState", 327, 2, T::Text, 21},
    {F::LicenseClass, "LicenseClass", 329, 10, T::Text, 22},
    {F::LicenseExpiration, "LicenseExpiration", 339, 8, T::Date, 23},
    {F::CommercialVehicle, "CommercialVehicle", 347, 2, T::Int16, 0},
    {F::VehicleYear, "VehicleYear", 349, 4, T::Text, 24},
    {F::Make, "Make", 353, 20, T::Text, 25},
    {F::Model, "Model", 373, 20, T::Text, 26},
    {F::Style, "Style", 393, 20, T::Text, 27},
    {F::Color, "Color", 413, 20, T::Text, 28},
    {F::TagNumber, "TagNumber", 433, 15, T::Text, 29},
    {F::TagState, "TagState", 448, 2, T::Text, 30},
    {F::TagType, "TagType", 450, 15, T::Text, 31},
    {F::CodeSection, "CodeSection", 465, 25, T::Text, 32},
    {F::StateOrLocal, "StateOrLocal", 490, 2, T::Int16, 0},
    {F::Description, "Description", 492, 40, T::Text, 33},
    {F::Accident, "Accident", 532, 2, T::Int16, 0},
    {F::CommercialViolation, "CommercialViolation", 534, 2, T::Int16, 0},
    {F::HazMatViolation, "HazMatViolation", 536, 2, T::Int16, 0},
    {F::Speeding, "Speeding", 538, 2, T::Int16, 0},
    {F::SpeedMethod, "SpeedMethod", 540, 2, T::Int16, 0},
    {F::MeasuredSpeed, "MeasuredSpeed", 542, 2, T::Int16, 34},
    {F::PostedSpeed, "PostedSpeed", 544, 2, T::Int16, 35},
    {F::ImpairedDriving, "ImpairedDriving", 546, 2, T::Int16, 0},
    {F::TestType, "TestType", 548, 2, T::Int16, 0},
    {F::TestResults, "TestResults", 550, 5, T::Text, 36},
    {F::County, "County", 555, 25, T::Text, 37},
    {F::City, "City", 580, 25, T::Text, 38},
    {F::OccurredOn, "OccurredOn", 605, 50, T::Text, 39},
    {F::OccurredAt, "OccurredAt", 655, 50, T::Text, 40},
    {F::Weather, "Weather", 705, 2, T::Int16, 0},
    {F::RoadSurface, "RoadSurface", 707, 2, T::Int16, 0},
    {F::RoadType, "RoadType", 709, 2, T::Int16, 0},
    {F::Traffic, "Traffic", 711, 2, T::Int16, 0},
    {F::Lighting, "Lighting", 713, 2, T::Int16, 0},
    {F::SceneDisposition, "SceneDisposition", 715, 2, T::Int16, 0},
    {F::CourtDate, "CourtDate", 717, 8, T::Date, 41},
    {F::CourtTime, "CourtTime", 725, 8, T::Date, 42},
    {F::CourtName, "CourtName", 733, 50, T::Text, 43},
    {F::Plead, "Plead", 783, 20, T::Text, 44},
    {F::Found, "Found", 803, 20, T::Text, 45},
    {F::Sentence, "Sentence", 823, 50, T::Text, 46},
    {F::CourtComments, "CourtComments", 873, 70, T::Text, 47},
    {F::Notes, "Notes", 943, 2057, T::Text, 48},
}};

using S = CitationSection;
constexpr std::array<SectionSpec, size_t(S::Count)> Sections{{
    {S::Basics, "BasicsSection", 2, 165},
    {S::Defendant, "DefendantSection", 167, 180},
    {S::License, "LicenseSection", 307, 40},
    {S::Vehicle, "VehicleSection", 347, 118},
    {S::Offense, "OffenseSection", 465, 90},
    {S::Location, "LocationSection", 555, 160},
    {S::Court, "CourtSection", 715, 228},
    {S::Notes, "Notes", 943, 2057},
}};

// The table must tile the record exactly: each field starts where the last ended.
constexpr bool fieldsAreContiguous()
{
    int next = 0;
    for (size_t i = 0; i < Fields.size(); ++i) {
        if (size_t(Fields[i].id) != i || Fields[i].offset != next)
            return false;
        next += Fields[i].width;
    }
    return next == RecordLength;
}
static_assert(fieldsAreContiguous(), "citation fields must tile the 3000-byte record");

std::array<int, EditorFieldCount + 1> buildEditorIndex()
{
    std::array<int, EditorFieldCount + 1> map{};
    for (size_t i = 0; i < Fields.size(); ++i)
        if (Fields[i].editorIndex > 0)
            map[size_t(Fields[i].editorIndex)] = int(i);
    return map;
}

} // namespace

const FieldSpec& field(CitationField id) { return Fields[size_t(id)]; }
const std::array<FieldSpec, size_t(CitationField::Count)>& fields() { return Fields; }
const SectionSpec& section(CitationSection id) { return Sections[size_t(id)]; }
const std::array<SectionSpec, size_t(CitationSection::Count)>& sections() { return Sections; }

const FieldSpec& editorField(int index)
{
    static const auto map = buildEditorIndex();
    Q_ASSERT(index >= 1 && index <= EditorFieldCount);
    return Fields[size_t(map[size_t(index)])];
}

} // namespace CitationLayout

namespace {
const QByteArray& emptyRecordBytes()
{
    static const QByteArray bytes = [] {
        QByteArray b(CitationLayout::RecordLength, '\0');
        for (const FieldSpec& f : CitationLayout::fields())
            if (f.type == FieldType::Text)
                std::memset(b.data() + f.offset, ' ', size_t(f.width));
        return b;
    }();
    return bytes;
}
} // namespace

CitationRecord::CitationRecord() : m_bytes(emptyRecordBytes()) {}

CitationRecord CitationRecord::fromBytes(const char* data, qsizetype length)
{
    CitationRecord r;
    std::memcpy(r.m_bytes.data(), data, size_t(qBound(qsizetype(0), length, qsizetype(CitationLayout::RecordLength))));
    return r;
}

QString CitationRecord::text(CitationField f) const { return CitationBytes::text(m_bytes.constData(), f); }

bool CitationRecord::setText(CitationField f, const QString& value)
{
    const FieldSpec& s = CitationLayout::field(f);
    Q_ASSERT(s.type == FieldType::Text);
    return Ansi::writeField(m_bytes.data() + s.offset, s.width, value);
}

qint16 CitationRecord::int16(CitationField f) const { return CitationBytes::int16(m_bytes.constData(), f); }

void CitationRecord::setInt16(CitationField f, qint16 value)
{
    const FieldSpec& s = CitationLayout::field(f);
    Q_ASSERT(s.type == FieldType::Int16);
    qToLittleEndian<qint16>(value, m_bytes.data() + s.offset);
}

DateValue CitationRecord::date(CitationField f) const { return CitationBytes::date(m_bytes.constData(), f); }

void CitationRecord::setDate(CitationField f, DateValue value)
{
    const FieldSpec& s = CitationLayout::field(f);
    Q_ASSERT(s.type == FieldType::Date);
    qToLittleEndian<double>(value, m_bytes.data() + s.offset);
}

QByteArray CitationRecord::sectionBytes(CitationSection s) const
{
    const SectionSpec& layout = CitationLayout::section(s);
    return m_bytes.mid(layout.offset, layout.length);
}

void CitationRecord::setSectionBytes(CitationSection s, const QByteArray& bytes)
{
    const SectionSpec& layout = CitationLayout::section(s);
    Q_ASSERT(bytes.size() == layout.length);
    std::memcpy(m_bytes.data() + layout.offset, bytes.constData(), size_t(qMin<qsizetype>(bytes.size(), layout.length)));
}

namespace CitationBytes {

QString text(const char* record, CitationField f)
{
    const FieldSpec& s = CitationLayout::field(f);
    return Ansi::readField(record + s.offset, s.width);
}

qint16 int16(const char* record, CitationField f)
{
    return qFromLittleEndian<qint16>(record + CitationLayout::field(f).offset);
}

DateValue date(const char* record, CitationField f)
{
    return qFromLittleEndian<double>(record + CitationLayout::field(f).offset);
}

} // namespace CitationBytes
