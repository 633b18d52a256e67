#include "store/EditorValues.h"

#include "store/AnsiText.h"
#include "store/NumberText.h"

namespace EditorLayout {
namespace {

using F = CitationField;

const std::array<OptionGroupSpec, size_t(OptionGroup::Count)> OptionGroups{{
    {OptionGroup::StateLocal, "optStateLocal", F::StateOrLocal, 2, 2, {"State", "Local"}},
    {OptionGroup::Speeding, "optSpeeding", F::SpeedMethod, 3, 3, {"Radar", "Laser", "Other"}},
    {OptionGroup::Test, "optTest", F::TestType, 4, 4, {"Blood", "Breath", "Urine", "Other"}},
    {OptionGroup::Weather, "optWeather", F::Weather, 4, 1, {"Clear", "Cloudy", "Rain", "Other"}},
    {OptionGroup::RoadDry, "optRoadDry", F::RoadSurface, 4, 1, {"Dry", "Wet", "Ice", "Other"}},
    {OptionGroup::RoadType, "optRoadType", F::RoadType, 4, 1, {"Concrete", "Asphalt", "Rock/Dirt", "Other"}},
    {OptionGroup::Traffic, "optTraffic", F::Traffic, 3, 1, {"Light", "Med.", "Heavy"}},
    {OptionGroup::Lighting, "optLighting", F::Lighting, 3, 1, {"Daylight", "Dawn/Dusk", "Dark"}},
    {OptionGroup::SceneDisposition, "optSceneDisposition", F::SceneDisposition, 3, 1,
     {"Released on Recognizance", "Released, License Held", "Detained for Hearing"}},
}};

const std::array<CheckBoxSpec, size_t(CheckBox::Count)> CheckBoxes{{
    {CheckBox::CommercialVehicle, "chkCommercialVehicle", F::CommercialVehicle, "Commercial Vehicle"},
    {CheckBox::Accident, "chkAccident", F::Accident, "Accident Involved"},
    {CheckBox::CommercialViolation, "chkCommercialViolation", F::CommercialViolation, "Commercial Veh. Violation"},
    {CheckBox::HazMatViolation, "chkHazMatViolation", F::HazMatViolation, "HAZMAT Violation"},
    {CheckBox::Speeding, "chkSpeeding", F::Speeding, "Speeding"},
    {CheckBox::DUI, "chkDUI", F::ImpairedDriving, "Impaired Driving"},
}};

const char* const Labels[CitationLayout::EditorFieldCount + 1] = {
    "",
    "NCIC Number", "Citation Number", "Offense Date", "Offense Time", "Issuing Officer",
    "Officer ID Number", "Date Entered", "Time Entered", "Entered by", "Reviewed by",
    "Defendant Name (L, F M)", "Address", "City/State/Zip", "DOB", "R/S", "Ht.", "Wt.", "Hair", "Eyes",
    "Operator License #", "State", "Class/Type", "Expiration Date",
    "Year", "Make", "Model", "Style", "Color", "License Tag #", "State", "Type",
    "Code Section", "Description", "Measured Speed", "Posted Speed", "Test Results",
    "County / Parish / Territory / District", "City / Township / Village",
    "Occurred on (Hwy / Street / Route) (Direction)",
    "at (Intersection) or (Distance/direction from MM or other reference point)",
    "Court Date", "Court Time", "Name of Court", "Plead", "Found", "Sentence", "Court Comments",
    "Enter any notes or miscellaneous information regarding this citation...",
};

} // namespace

const OptionGroupSpec& optionGroup(OptionGroup g) { return OptionGroups[size_t(g)]; }
const std::array<OptionGroupSpec, size_t(OptionGroup::Count)>& optionGroups() { return OptionGroups; }
const CheckBoxSpec& checkBox(CheckBox c) { return CheckBoxes[size_t(c)]; }
const std::array<CheckBoxSpec, size_t(CheckBox::Count)>& checkBoxes() { return CheckBoxes; }

QString fieldLabel(int index)
{
    return (index >= 1 && index <= CitationLayout::EditorFieldCount) ? QString::fromLatin1(Labels[index]) : QString();
}

bool isDateField(int index) { return index == 3 || index == 7 || index == 14 || index == 23 || index == 41; }
bool isTimeField(int index) { return index == 4 || index == 8 || index == 42; }

int inputLimit(int index)
{
    if (isDateField(index))
        return 10;
    if (isTimeField(index))
        return 7;
    if (index == 34)
        return 3;
    if (index == 35)
        return 2;
    return CitationLayout::editorField(index).width;
}

} // namespace EditorLayout

EditorValues::EditorValues()
{
    for (const OptionGroupSpec& g : EditorLayout::optionGroups())
        choice[size_t(g.id)] = g.initialChoice;
}

int FillCitationRecord(const EditorValues& values, const QDateTime& now, CitationRecord& record)
{
    using namespace CitationLayout;
    record = CitationRecord();
    record.setInt16(CitationField::FormatVersion, CurrentFormatVersion);
    int unencodable = 0;
    for (int i = 1; i <= EditorFieldCount; ++i) {
        const FieldSpec& f = editorField(i);
        const QString& text = values[i];
        switch (f.type) {
        case FieldType::Text:
            if (!record.setText(f.id, text) && !unencodable)
                unencodable = i;
            break;
        case FieldType::Date: {
            const bool entered = (i == 7 || i == 8);
            if (text.isEmpty())
                record.setDate(f.id, entered ? ToDateValue(now) : 0.0);
            else
                record.setDate(f.id, ParseDateValue(text).value_or(0.0));
            break;
        }
        case FieldType::Int16:
            // A speed below 1 is no speed: the editor shows it as an empty
            // box, so storing a typed "-6" as -6 would turn into 0 at the next
            // edit-save without the user seeing any change. Store it as the
            // empty box it will show.
            record.setInt16(f.id, qMax(qint16(0), LeadingNumberAsInt16(text)));
            break;
        }
    }
    for (const CheckBoxSpec& c : EditorLayout::checkBoxes())
        record.setInt16(c.field, values[c.id] ? 1 : 0);
    for (const OptionGroupSpec& g : EditorLayout::optionGroups())
        record.setInt16(g.field, qint16(values[g.id]));
    return unencodable;
}

EditorValues EditorValuesFromRecord(const CitationRecord& record)
{
    using namespace CitationLayout;
    EditorValues values;
    for (int i = 1; i <= EditorFieldCount; ++i) {
        const FieldSpec& f = editorField(i);
        switch (f.type) {
        case FieldType::Text:
            values[i] = record.text(f.id);
            break;
        case FieldType::Date: {
            const DateValue v = record.date(f.id);
            if (i == 3)
                values[i] = FormatNumericDate(v);
            else if (v != 0.0)
                values[i] = EditorLayout::isTimeField(i) ? FormatDateValue(v, QStringLiteral("h:nnam/pm"))
                                                         : FormatNumericDate(v);
            break;
        }
        case FieldType::Int16: {
            const qint16 v = record.int16(f.id);
            if (v >= 1)
                values[i] = QString::number(v);
            break;
        }
        }
    }
    for (const CheckBoxSpec& c : EditorLayout::checkBoxes())
        values[c.id] = record.int16(c.field) != 0;
    for (const OptionGroupSpec& g : EditorLayout::optionGroups())
        values[g.id] = record.int16(g.field);
    return values;
}
