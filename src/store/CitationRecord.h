#pragma once
// One citation as it lies in the data file: 3000 bytes, fields at fixed
// offsets, little-endian, no padding. The record keeps its bytes and decodes
// a field only when asked, so a list load touches only the fields it shows.
#include "store/DateValue.h"

#include <QByteArray>
#include <QString>
#include <array>

enum class FieldType { Text, Int16, Date };

enum class CitationField {
    FormatVersion,
    NCICNumber, CitationNumber, OffenseDate, OffenseTime, IssuingOfficer, OfficerID, DateEntered,
    TimeEntered, EnteredBy, ReviewedBy,
    DefendantName, Address, CityStateZip, DOB, RaceSex, Height, Weight, Hair, Eyes,
    LicenseNumber, LicenseState, LicenseClass, LicenseExpiration,
    CommercialVehicle, VehicleYear, Make, Model, Style, Color, TagNumber, TagState, TagType,
    CodeSection, StateOrLocal, Description, Accident, CommercialViolation, HazMatViolation, Speeding,
    SpeedMethod, MeasuredSpeed, PostedSpeed, ImpairedDriving, TestType, TestResults,
    County, City, OccurredOn, OccurredAt, Weather, RoadSurface, RoadType, Traffic, Lighting,
    SceneDisposition, CourtDate, CourtTime, CourtName, Plead, Found, Sentence, CourtComments,
    Notes,
    Count
};

struct FieldSpec {
    CitationField id;
    const char* name;
    int offset;
    int width;
    FieldType type;
    int editorIndex; // the txtField that enters it, 0 when none
};

enum class CitationSection { Basics, Defendant, License, Vehicle, Offense, Location, Court, Notes, Count };

struct SectionSpec {
    CitationSection id;
    const char* name;
    int offset;
    int length;
};

namespace CitationLayout {
constexpr int RecordLength = 3000;
constexpr qint16 CurrentFormatVersion = 315;
constexpr int EditorFieldCount = 48;
// The NCIC number a record carries between being marked deleted and compaction.
inline const QString KilledMarker = QStringLiteral("$Killed$");

const FieldSpec& field(CitationField id);
const std::array<FieldSpec, size_t(CitationField::Count)>& fields();
const SectionSpec& section(CitationSection id);
const std::array<SectionSpec, size_t(CitationSection::Count)>& sections();
// The field entered through txtField(index), 1..48.
const FieldSpec& editorField(int index);
} // namespace CitationLayout

class CitationRecord {
public:
    // An empty record: texts blank, numbers and dates 0.
    CitationRecord();
    // Takes up to RecordLength bytes; a shorter (damaged, partial) record
    // reads as if the missing bytes were an empty record's.
    static CitationRecord fromBytes(const char* data, qsizetype length);

    const QByteArray& bytes() const { return m_bytes; }

    QString text(CitationField f) const;
    // Pads or cuts to the field width. Returns false (storing '?' for them)
    // when the text holds characters Windows-1252 cannot hold.
    bool setText(CitationField f, const QString& value);
    qint16 int16(CitationField f) const;
    void setInt16(CitationField f, qint16 value);
    DateValue date(CitationField f) const;
    void setDate(CitationField f, DateValue value);

    // A section's bytes, as a unit (the older format copies them whole).
    QByteArray sectionBytes(CitationSection s) const;
    void setSectionBytes(CitationSection s, const QByteArray& bytes);

    bool operator==(const CitationRecord& other) const { return m_bytes == other.m_bytes; }

private:
    QByteArray m_bytes;
};

// Raw readers over a record's bytes, for code that scans a mapped file.
namespace CitationBytes {
QString text(const char* record, CitationField f);
qint16 int16(const char* record, CitationField f);
DateValue date(const char* record, CitationField f);
} // namespace CitationBytes
