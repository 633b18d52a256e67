#pragma once
// Made-up citations for benchmarks and screenshots: plausible values in every
// field, reproducible from a seed.
#include "store/CitationFile.h"
#include "store/CitationRecord.h"
#include "store/DateValue.h"

#include <QDate>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>

namespace bench {

inline QString pick(QRandomGenerator& rng, const QStringList& list) { return list.at(int(rng.bounded(list.size()))); }

inline CitationRecord makeCitation(int n, QRandomGenerator& rng)
{
    using F = CitationField;
    static const QStringList names = {"SMITH, JOHN A",  "GARCIA, MARIA", "JOHNSON, ROBERT L", "NGUYEN, LINH",
                                      "BROWN, PATRICIA", "MÜLLER, JÖRG", "O'NEIL, SEAN P",    "DAVIS, KAREN"};
    static const QStringList roads = {"Rt 1 NB", "I-95 SB", "Main St EB", "Broad St", "Hwy 250 WB", "Elm Ave"};
    static const QStringList codes = {"46.2-862", "46.2-870", "46.2-830", "18.2-266", "46.2-300", "46.2-1157"};
    static const QStringList makes = {"Ford", "Toyota", "Honda", "Chevrolet", "Nissan", "Dodge"};
    static const QStringList words = {"speed",  "radar", "stopped", "vehicle", "driver", "license", "wet",
                                      "signal", "lane",  "cited",   "warning", "cat",    "concat",  "100"};
    CitationRecord r;
    r.setInt16(F::FormatVersion, CitationLayout::CurrentFormatVersion);
    r.setText(F::NCICNumber, QStringLiteral("VA0%1").arg(1000 + n % 50));
    r.setText(F::CitationNumber, QString::number(100000 + n));
    const QDate day = QDate(2001, 1, 1).addDays(rng.bounded(365 * 8));
    const QTime time(int(rng.bounded(24)), int(rng.bounded(60)));
    r.setDate(F::OffenseDate, ToDateValue(day));
    r.setDate(F::OffenseTime, ToDateValue(QDate(1899, 12, 30), time));
    r.setText(F::IssuingOfficer, QStringLiteral("Ofc. Officer %1").arg(n % 40));
    r.setText(F::OfficerID, QString::number(500 + n % 40));
    r.setDate(F::DateEntered, ToDateValue(day.addDays(1), QTime(9, 30)));
    r.setDate(F::TimeEntered, ToDateValue(day.addDays(1), QTime(9, 30)));
    r.setText(F::EnteredBy, QStringLiteral("Clerk %1").arg(n % 5));
    r.setText(F::DefendantName, pick(rng, names));
    r.setText(F::Address, QStringLiteral("%1 Oak Street").arg(n % 900 + 1));
    r.setText(F::CityStateZip, QStringLiteral("Richmond, VA 23220"));
    r.setDate(F::DOB, rng.bounded(10) == 0 ? 0.0 : ToDateValue(QDate(1950, 1, 1).addDays(rng.bounded(15000))));
    r.setText(F::RaceSex, QStringLiteral("WM"));
    r.setText(F::Height, QStringLiteral("5-10"));
    r.setText(F::Weight, QStringLiteral("180"));
    r.setText(F::Hair, QStringLiteral("BRN"));
    r.setText(F::Eyes, QStringLiteral("BLU"));
    r.setText(F::LicenseNumber, QStringLiteral("T%1").arg(60000000 + n));
    r.setText(F::LicenseState, QStringLiteral("VA"));
    r.setText(F::Make, pick(rng, makes));
    r.setText(F::Model, QStringLiteral("Sedan"));
    r.setText(F::Color, QStringLiteral("Blue"));
    r.setText(F::TagNumber, QStringLiteral("ABC-%1").arg(n % 10000));
    r.setText(F::TagState, QStringLiteral("VA"));
    r.setText(F::CodeSection, pick(rng, codes));
    r.setInt16(F::StateOrLocal, qint16(1 + rng.bounded(2)));
    r.setText(F::Description, QStringLiteral("Speeding"));
    r.setInt16(F::Speeding, 1);
    r.setInt16(F::SpeedMethod, 1);
    r.setInt16(F::MeasuredSpeed, qint16(40 + rng.bounded(50)));
    r.setInt16(F::PostedSpeed, 35);
    r.setInt16(F::TestType, 4);
    r.setText(F::County, QStringLiteral("Henrico"));
    r.setText(F::City, QStringLiteral("Richmond"));
    r.setText(F::OccurredOn, pick(rng, roads));
    r.setText(F::OccurredAt, QStringLiteral("MM %1").arg(n % 200));
    for (F f : {F::Weather, F::RoadSurface, F::RoadType, F::Traffic, F::Lighting, F::SceneDisposition})
        r.setInt16(f, 1);
    r.setText(F::CourtName, QStringLiteral("Henrico General District Court"));
    QString notes;
    const int noteWords = int(rng.bounded(120));
    for (int w = 0; w < noteWords; ++w)
        notes += pick(rng, words) + u' ';
    r.setText(F::Notes, notes);
    return r;
}

// Writes n citations to fileName in one go.
inline bool writeCitations(const QString& fileName, int n, quint32 seed = 1)
{
    QRandomGenerator rng(seed);
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    for (int i = 1; i <= n; ++i)
        if (file.write(makeCitation(i, rng).bytes()) != CitationLayout::RecordLength)
            return false;
    return true;
}

} // namespace bench
