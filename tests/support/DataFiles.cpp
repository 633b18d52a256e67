#include "DataFiles.h"

#include "session/ProcessState.h"

#include <QDir>
#include <QFile>
#include <QtEndian>
#include <cstring>
#include <stdexcept>

const QList<RecordField>& CitationBytes3000::layout()
{
    static const QList<RecordField> table = {
        {"FormatVersion", 0, 2, 'i'},      {"NCICNumber", 2, 16, 't'},         {"CitationNumber", 18, 12, 't'},
        {"OffenseDate", 30, 8, 'd'},       {"OffenseTime", 38, 8, 'd'},        {"IssuingOfficer", 46, 30, 't'},
        {"OfficerID", 76, 15, 't'},        {"DateEntered", 91, 8, 'd'},        {"TimeEntered", 99, 8, 'd'},
        {"EnteredBy", 107, 30, 't'},       {"ReviewedBy", 137, 30, 't'},       {"DefendantName", 167, 30, 't'},
        {"Address", 197, 30, 't'},         {"CityStateZip", 227, 40, 't'},     {"DOB", 267, 8, 'd'},
        {"RaceSex", 275, 3, 't'},          {"Height", 278, 6, 't'},            {"Weight", 284, 3, 't'},
        {"Hair", 287, 10, 't'},            {"Eyes", 297, 10, 't'},             {"LicenseNumber", 307, 20, 't'},
        {"LicenseState", 327, 2, 't'},     {"LicenseClass", 329, 10, 't'},     {"LicenseExpiration", 339, 8, 'd'},
        {"CommercialVehicle", 347, 2, 'i'}, {"VehicleYear", 349, 4, 't'},      {"Make", 353, 20, 't'},
        {"Model", 373, 20, 't'},           {"Style", 393, 20, 't'},            {"Color", 413, 20, 't'},
        {"TagNumber", 433, 15, 't'},       {"TagState", 448, 2, 't'},          {"TagType", 450, 15, 't'},
        {"CodeSection", 465, 25, 't'},     {"StateOrLocal", 490, 2, 'i'},      {"Description", 492, 40, 't'},
        {"Accident", 532, 2, 'i'},         {"CommercialViolation", 534, 2, 'i'}, {"HazMatViolation", 536, 2, 'i'},
        {"Speeding", 538, 2, 'i'},         {"SpeedMethod", 540, 2, 'i'},       {"MeasuredSpeed", 542, 2, 'i'},
        {"PostedSpeed", 544, 2, 'i'},      {"ImpairedDriving", 546, 2, 'i'},   {"TestType", 548, 2, 'i'},
        {"TestResults", 550, 5, 't'},      {"County", 555, 25, 't'},           {"City", 580, 25, 't'},
        {"OccurredOn", 605, 50, 't'},      {"OccurredAt", 655, 50, 't'},       {"Weather", 705, 2, 'i'},
        {"RoadSurface", 707, 2, 'i'},      {"RoadType", 709, 2, 'i'},          {"Traffic", 711, 2, 'i'},
        {"Lighting", 713, 2, 'i'},         {"SceneDisposition", 715, 2, 'i'},  {"CourtDate", 717, 8, 'd'},
        {"CourtTime", 725, 8, 'd'},        {"CourtName", 733, 50, 't'},        {"Plead", 783, 20, 't'},
        {"Found", 803, 20, 't'},           {"Sentence", 823, 50, 't'},         {"CourtComments", 873, 70, 't'},
        {"Notes", 943, 2057, 't'},
    };
    return table;
}

const QList<RecordField>& CitationBytes1500::layout()
{
    // The section starts of the older layout; within a section every field
    // lies as in the current one, so the fields are that table's, moved.
    static const QList<RecordField> table = [] {
        struct Section {
            const char* first;
            int offset;
        };
        const Section sections[] = {{"NCICNumber", 0},     {"DefendantName", 165}, {"CommercialVehicle", 345},
                                    {"CodeSection", 463},  {"County", 553},        {"SceneDisposition", 713},
                                    {"Notes", 941}};
        QList<RecordField> fields;
        int shift = 0;
        for (const RecordField& f : CitationBytes3000::layout()) {
            if (std::strcmp(f.name, "FormatVersion") == 0)
                continue;
            for (const Section& s : sections)
                if (std::strcmp(f.name, s.first) == 0)
                    shift = s.offset - f.offset;
            fields.append({f.name, f.offset + shift, std::strcmp(f.name, "Notes") == 0 ? 559 : f.width, f.type});
        }
        if (fields.last().offset + fields.last().width != 1500)
            throw std::logic_error("older layout does not add up to 1500 bytes");
        return fields;
    }();
    return table;
}

CitationBytes1500::CitationBytes1500() : RecordBytes(1500) {}

CitationBytes3000::CitationBytes3000() : RecordBytes(3000) { int16("FormatVersion", 315); }

CitationBytes3000 CitationBytes3000::sample(const QByteArray& citationNumber, const QDate& offenseDate,
                                            const QByteArray& codeSection, const QByteArray& occurredOn,
                                            const QByteArray& occurredAt)
{
    CitationBytes3000 r;
    r.text("CitationNumber", citationNumber)
        .date("OffenseDate", offenseDate)
        .text("CodeSection", codeSection)
        .text("OccurredOn", occurredOn)
        .text("OccurredAt", occurredAt)
        .int16("StateOrLocal", 2)
        .int16("SpeedMethod", 3)
        .int16("TestType", 4)
        .int16("Weather", 1)
        .int16("RoadSurface", 1)
        .int16("RoadType", 1)
        .int16("Traffic", 1)
        .int16("Lighting", 1)
        .int16("SceneDisposition", 1);
    return r;
}

double OleDate(const QDate& d, const QTime& t)
{
    return double(QDate(1899, 12, 30).daysTo(d)) + t.msecsSinceStartOfDay() / 86400000.0;
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write test file");
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void WriteCitations(const QString& path, const QList<CitationBytes3000>& records) { WriteRecords(path, records); }

QList<QByteArray> ReadCitations(const QString& path) { return ReadRecords(path, 3000); }

QList<QByteArray> ReadRecords(const QString& path, int recordLength)
{
    const QByteArray all = ReadFile(path);
    QList<QByteArray> out;
    for (qsizetype at = 0; at + recordLength <= all.size(); at += recordLength)
        out << all.mid(at, recordLength);
    return out;
}

TempDataFolder::TempDataFolder() : m_previous(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
    InitialiseProcessState();
}

TempDataFolder::~TempDataFolder() { QDir::setCurrent(m_previous); }
