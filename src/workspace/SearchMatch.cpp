#include "workspace/SearchMatch.h"

#include "store/CitationRecord.h"
#include "workspace/ListDateText.h"

#include <initializer_list>

namespace {

using F = CitationField;

enum class Form { Text, Date, Time, YearMonth };

struct Item {
    F field;
    Form form;
};

constexpr Item BasicsItems[] = {
    {F::NCICNumber, Form::Text},     {F::CitationNumber, Form::Text}, {F::OffenseDate, Form::Date},
    {F::OffenseTime, Form::Time},    {F::OffenseDate, Form::YearMonth}, {F::IssuingOfficer, Form::Text},
    {F::OfficerID, Form::Text},      {F::DateEntered, Form::Date},    {F::TimeEntered, Form::Time},
    {F::EnteredBy, Form::Text},      {F::ReviewedBy, Form::Text},
};
constexpr Item DefendantItems[] = {
    {F::DefendantName, Form::Text}, {F::Address, Form::Text},       {F::CityStateZip, Form::Text},
    {F::DOB, Form::Date},           {F::RaceSex, Form::Text},       {F::Height, Form::Text},
    {F::Weight, Form::Text},        {F::Hair, Form::Text},          {F::Eyes, Form::Text},
    {F::LicenseNumber, Form::Text}, {F::LicenseState, Form::Text},  {F::LicenseClass, Form::Text},
    {F::LicenseExpiration, Form::Date},
};
constexpr Item VehicleItems[] = {
    {F::Make, Form::Text},      {F::Model, Form::Text}, {F::Style, Form::Text},
    {F::TagNumber, Form::Text}, {F::Color, Form::Text}, {F::TagType, Form::Text},
};
constexpr Item OffenseItems[] = {
    {F::CodeSection, Form::Text}, {F::Description, Form::Text}, {F::TestResults, Form::Text},
};
constexpr Item LocationItems[] = {
    {F::County, Form::Text}, {F::City, Form::Text}, {F::OccurredOn, Form::Text}, {F::OccurredAt, Form::Text},
};
constexpr Item CourtItems[] = {
    {F::CourtDate, Form::Date}, {F::CourtName, Form::Text}, {F::Plead, Form::Text},
    {F::Found, Form::Text},     {F::Sentence, Form::Text},  {F::CourtComments, Form::Text},
};
constexpr Item NotesItems[] = {{F::Notes, Form::Text}};

struct ItemList {
    const Item* first;
    int count;
};

template <size_t N>
constexpr ItemList listOf(const Item (&items)[N])
{
    return {items, int(N)};
}

void appendItem(QString& out, const char* record, const Item& item)
{
    out += u' ';
    switch (item.form) {
    case Form::Text:
        out += CitationBytes::text(record, item.field);
        break;
    case Form::Date:
        out += ListDateText::date(CitationBytes::date(record, item.field));
        break;
    case Form::Time:
        out += ListDateText::time(CitationBytes::date(record, item.field));
        break;
    case Form::YearMonth:
        out += ListDateText::yearMonth(CitationBytes::date(record, item.field));
        break;
    }
}

bool isWordCharacter(QChar c) { return c.isLetter() || c.isDigit(); }

} // namespace

QString SearchedText(const char* record, int scope)
{
    const ItemList basics = listOf(BasicsItems), defendant = listOf(DefendantItems), vehicle = listOf(VehicleItems),
                   offense = listOf(OffenseItems), location = listOf(LocationItems), court = listOf(CourtItems),
                   notes = listOf(NotesItems);
    ItemList lists[7];
    int listCount = 0;
    const auto use = [&](std::initializer_list<ItemList> chosen) {
        for (const ItemList& l : chosen)
            lists[listCount++] = l;
    };
    switch (scope) {
    case SearchScope::AllExceptNotes: use({basics, defendant, vehicle, offense, location, court}); break;
    case SearchScope::Defendant: use({defendant}); break;
    case SearchScope::Vehicle: use({vehicle}); break;
    case SearchScope::Offense: use({offense}); break;
    case SearchScope::Location: use({location}); break;
    case SearchScope::Court: use({court}); break;
    case SearchScope::Notes: use({notes}); break;
    case SearchScope::Basics: use({basics}); break;
    default: use({basics, defendant, vehicle, offense, location, court, notes}); break;
    }
    QString out;
    out.reserve(scope == SearchScope::AllText || scope == SearchScope::Notes ? 3200 : 800);
    for (int l = 0; l < listCount; ++l)
        for (int i = 0; i < lists[l].count; ++i)
            appendItem(out, record, lists[l].first[i]);
    // Each item brought its leading space; the whole text also ends with one.
    out += u' ';
    return out;
}

bool MatchesSearch(const QString& text, const QString& phrase, bool ignoreCase, bool wholeWord)
{
    const Qt::CaseSensitivity cs = ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive;
    qsizetype at = text.indexOf(phrase, 0, cs);
    if (at < 0)
        return false;
    if (!wholeWord || phrase.isEmpty())
        return true;
    const bool checkBefore = isWordCharacter(phrase.front());
    const bool checkAfter = isWordCharacter(phrase.back());
    for (; at >= 0; at = text.indexOf(phrase, at + 1, cs)) {
        const qsizetype end = at + phrase.size();
        const bool runsOnBefore = checkBefore && at > 0 && isWordCharacter(text.at(at - 1));
        const bool runsOnAfter = checkAfter && end < text.size() && isWordCharacter(text.at(end));
        if (!runsOnBefore && !runsOnAfter)
            return true;
    }
    return false;
}
