#pragma once
// The values of the record editor as plain data: the 48 texts, the six check
// boxes and the nine option groups. Saving fills a record from them; showing
// a citation makes them from a record.
#include "store/CitationRecord.h"

#include <QDateTime>
#include <array>

enum class CheckBox { CommercialVehicle, Accident, CommercialViolation, HazMatViolation, Speeding, DUI, Count };
enum class OptionGroup { StateLocal, Speeding, Test, Weather, RoadDry, RoadType, Traffic, Lighting, SceneDisposition, Count };

struct OptionGroupSpec {
    OptionGroup id;
    const char* name; // the control name, "optWeather"
    CitationField field;
    int choiceCount;
    int initialChoice; // selected when the window first opens
    std::array<const char*, 4> captions;
};

struct CheckBoxSpec {
    CheckBox id;
    const char* name; // the control name, "chkSpeeding"
    CitationField field;
    const char* caption;
};

namespace EditorLayout {
const OptionGroupSpec& optionGroup(OptionGroup g);
const std::array<OptionGroupSpec, size_t(OptionGroup::Count)>& optionGroups();
const CheckBoxSpec& checkBox(CheckBox c);
const std::array<CheckBoxSpec, size_t(CheckBox::Count)>& checkBoxes();
// The label caption of txtField(index), 1..48.
QString fieldLabel(int index);
// How many characters txtField(index) accepts.
int inputLimit(int index);
bool isDateField(int index); // 3, 7, 14, 23, 41
bool isTimeField(int index); // 4, 8, 42
} // namespace EditorLayout

struct EditorValues {
    std::array<QString, CitationLayout::EditorFieldCount + 1> text; // [1..48]; [0] unused
    std::array<bool, size_t(CheckBox::Count)> checked{};
    std::array<int, size_t(OptionGroup::Count)> choice{};

    EditorValues(); // option groups at their initial choices, everything else empty

    QString& operator[](int index) { return text[size_t(index)]; }
    const QString& operator[](int index) const { return text[size_t(index)]; }
    bool& operator[](CheckBox c) { return checked[size_t(c)]; }
    bool operator[](CheckBox c) const { return checked[size_t(c)]; }
    int& operator[](OptionGroup g) { return choice[size_t(g)]; }
    int operator[](OptionGroup g) const { return choice[size_t(g)]; }
};

// Fills a record from the editor's values (the save step): format version
// 315, texts padded or cut, dates and times converted (0 for the optional
// ones left empty, the moment `now` for an empty "Date Entered" or "Time
// Entered"), speeds as their leading number rounded half to even.
// Returns 0 when every text could be stored, else the index of the first
// txtField whose text Windows-1252 cannot hold.
int FillCitationRecord(const EditorValues& values, const QDateTime& now, CitationRecord& record);

// The editor's values for showing a stored citation: texts trimmed, dates in
// the numeric date order ("mm/dd/yyyy" under US settings) and times as
// "h:nnam/pm" (empty when stored as 0, but the offense date always shown),
// speeds below 1 empty.
EditorValues EditorValuesFromRecord(const CitationRecord& record);
