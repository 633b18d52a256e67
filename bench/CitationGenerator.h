#pragma once
// Made-up citations for benchmarks and screenshots: plausible values in every
// field, reproducible from a seed. Ten years of offenses with their times, a
// few hundred code sections, officers, defendants (some with accented names),
// vehicles, locations and courts, and notes from empty to the field's full
// width in lines ended by CR LF. About one citation in 2,000 mentions the
// phrase "radar stopped" in its notes.
#include "store/CitationFile.h"
#include "store/CitationRecord.h"
#include "store/DateValue.h"

#include <QDate>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>

namespace bench {

inline QString pick(QRandomGenerator& rng, const QStringList& list) { return list.at(int(rng.bounded(list.size()))); }

// A few hundred code sections: state titles with section numbers.
inline const QStringList& codeSections()
{
    static const QStringList codes = [] {
        QStringList out;
        const char* const titles[] = {"46.2-", "18.2-", "29.1-", "10.1-", "33.2-"};
        QRandomGenerator rng(7);
        for (const char* t : titles)
            for (int i = 0; i < 60; ++i)
                out << QString::fromLatin1(t) + QString::number(100 + int(rng.bounded(1200)));
        return out;
    }();
    return codes;
}

inline CitationRecord makeCitation(int n, QRandomGenerator& rng)
{
    using F = CitationField;
    static const QStringList first = {"JOHN A", "MARIA", "ROBERT L", "LINH", "PATRICIA", "JÖRG", "SEAN P", "KAREN",
                                      "JOSÉ", "FRANÇOISE", "AHMED", "CHLOË", "ÅSA", "MICHAEL", "LINDA", "ZOË"};
    static const QStringList last = {"SMITH", "GARCIA", "JOHNSON", "NGUYEN", "BROWN", "MÜLLER", "O'NEIL", "DAVIS",
                                     "NÚÑEZ", "LEFÈVRE", "WILLIAMS", "JONES", "MILLER", "WILSON", "MOORE", "TAYLOR",
                                     "ANDERSON", "THOMAS", "JACKSON", "WHITE", "HARRIS", "MARTIN", "THOMPSON"};
    static const QStringList roads = {"Rt 1 NB", "I-95 SB", "I-95 NB", "Main St EB", "Broad St", "Hwy 250 WB",
                                      "Elm Ave", "Parham Rd", "Staples Mill Rd", "I-64 WB", "Hungary Spring Rd",
                                      "Nine Mile Rd", "Laburnum Ave", "Patterson Ave", "Three Chopt Rd"};
    static const QStringList makes = {"Ford", "Toyota", "Honda", "Chevrolet", "Nissan", "Dodge", "Subaru", "BMW",
                                      "Hyundai", "Kia", "Volkswagen", "Jeep", "GMC", "Mazda", "Škoda"};
    static const QStringList models = {"Sedan", "F-150", "Civic", "Camry", "Accord", "Silverado", "Altima", "Outback"};
    static const QStringList colors = {"Blue", "Red", "Black", "White", "Silver", "Gray", "Green", "Maroon"};
    static const QStringList counties = {"Henrico", "Chesterfield", "Hanover", "Goochland", "Powhatan"};
    static const QStringList courts = {"Henrico General District Court", "Chesterfield General District Court",
                                       "Hanover General District Court", "Richmond Traffic Court"};
    static const QStringList words = {"speed",  "radar", "vehicle", "driver", "license", "wet",  "signal", "lane",
                                      "cited",  "warning", "cat",   "concat", "100",     "lidar", "pace", "traffic",
                                      "stop", "passenger", "registration", "insurance", "café", "naïve"};
    CitationRecord r;
    r.setInt16(F::FormatVersion, CitationLayout::CurrentFormatVersion);
    r.setText(F::NCICNumber, QStringLiteral("VA0%1").arg(1000 + n % 50));
    r.setText(F::CitationNumber, QStringLiteral("T%1").arg(1000000 + n));
    const QDate day = QDate(2010, 1, 1).addDays(rng.bounded(3652));
    const QTime time(int(rng.bounded(24)), int(rng.bounded(60)));
    r.setDate(F::OffenseDate, ToDateValue(day));
    r.setDate(F::OffenseTime, ToDateValue(QDate(1899, 12, 30), time));
    const int officer = int(rng.bounded(120));
    r.setText(F::IssuingOfficer, QStringLiteral("Ofc. %1").arg(pick(rng, last)));
    r.setText(F::OfficerID, QString::number(500 + officer));
    r.setDate(F::DateEntered, ToDateValue(day.addDays(1), QTime(9, 30)));
    r.setDate(F::TimeEntered, ToDateValue(day.addDays(1), QTime(9, 30)));
    r.setText(F::EnteredBy, QStringLiteral("Clerk %1").arg(n % 5));
    r.setText(F::DefendantName, pick(rng, last) + QStringLiteral(", ") + pick(rng, first));
    r.setText(F::Address, QStringLiteral("%1 Oak Street").arg(rng.bounded(9000) + 1));
    r.setText(F::CityStateZip, QStringLiteral("Richmond, VA 23%1").arg(200 + rng.bounded(100)));
    r.setDate(F::DOB, rng.bounded(10) == 0 ? 0.0 : ToDateValue(QDate(1940, 1, 1).addDays(rng.bounded(25000))));
    r.setText(F::RaceSex, QStringLiteral("WM"));
    r.setText(F::Height, QStringLiteral("5-%1").arg(rng.bounded(12)));
    r.setText(F::Weight, QString::number(120 + rng.bounded(150)));
    r.setText(F::Hair, QStringLiteral("BRN"));
    r.setText(F::Eyes, QStringLiteral("BLU"));
    r.setText(F::LicenseNumber, QStringLiteral("T%1").arg(60000000 + rng.bounded(30000000)));
    r.setText(F::LicenseState, QStringLiteral("VA"));
    r.setDate(F::LicenseExpiration, ToDateValue(day.addDays(int(rng.bounded(2000)))));
    r.setText(F::VehicleYear, QString::number(1990 + rng.bounded(30)));
    r.setText(F::Make, pick(rng, makes));
    r.setText(F::Model, pick(rng, models));
    r.setText(F::Color, pick(rng, colors));
    r.setText(F::TagNumber, QStringLiteral("ABC-%1").arg(rng.bounded(10000)));
    r.setText(F::TagState, QStringLiteral("VA"));
    r.setText(F::CodeSection, pick(rng, codeSections()));
    r.setInt16(F::StateOrLocal, qint16(1 + rng.bounded(2)));
    r.setText(F::Description, rng.bounded(2) ? QStringLiteral("Speeding") : QStringLiteral("Reckless driving"));
    r.setInt16(F::Speeding, 1);
    r.setInt16(F::SpeedMethod, 1);
    r.setInt16(F::MeasuredSpeed, qint16(40 + rng.bounded(50)));
    r.setInt16(F::PostedSpeed, 35);
    r.setInt16(F::TestType, 4);
    r.setText(F::County, pick(rng, counties));
    r.setText(F::City, QStringLiteral("Richmond"));
    r.setText(F::OccurredOn, pick(rng, roads));
    r.setText(F::OccurredAt, QStringLiteral("MM %1").arg(rng.bounded(200)));
    for (F f : {F::Weather, F::RoadSurface, F::RoadType, F::Traffic, F::Lighting, F::SceneDisposition})
        r.setInt16(f, 1);
    r.setDate(F::CourtDate, ToDateValue(day.addDays(30 + int(rng.bounded(60)))));
    r.setText(F::CourtName, pick(rng, courts));
    // Notes from none to the whole field, in lines of a few words.
    const int width = CitationLayout::field(F::Notes).width;
    const int target = int(rng.bounded(width + 1));
    QString notes;
    while (notes.size() < target) {
        const int lineWords = 3 + int(rng.bounded(10));
        for (int w = 0; w < lineWords; ++w)
            notes += pick(rng, words) + u' ';
        notes += QStringLiteral("\r\n");
    }
    if (rng.bounded(2000) == 0)
        notes = QStringLiteral("Radar stopped at 200 ft. ") + notes;
    r.setText(F::Notes, notes.left(width));
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
    return file.flush();
}

} // namespace bench
