#include "store/SearchMatch.h"

#include "store/AnsiText.h"
#include "store/CitationRecord.h"
#include "store/ListDateText.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

int ScopeLists(int scope, ItemList* lists)
{
    const ItemList basics = listOf(BasicsItems), defendant = listOf(DefendantItems), vehicle = listOf(VehicleItems),
                   offense = listOf(OffenseItems), location = listOf(LocationItems), court = listOf(CourtItems),
                   notes = listOf(NotesItems);
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
    return listCount;
}

} // namespace

QString SearchedText(const char* record, int scope)
{
    ItemList lists[7];
    const int listCount = ScopeLists(scope, lists);
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

namespace {

char* put2(char* out, int n)
{
    *out++ = char('0' + n / 10);
    *out++ = char('0' + n % 10);
    return out;
}

char* put4(char* out, int n)
{
    out = put2(out, n / 100);
    return put2(out, n % 100);
}

} // namespace

int SearchPhraseByte(QChar c, bool ignoreCase)
{
    if (ignoreCase)
        return AnsiFold::foldedByteOf(c);
    bool ok = true;
    const QByteArray one = Ansi::encode(QString(c), &ok);
    return ok ? static_cast<unsigned char>(one.at(0)) : -1;
}

RecordMatcher::RecordMatcher(const QString& phrase, int scope, bool ignoreCase, bool wholeWord)
    : m_ignoreCase(ignoreCase), m_wholeWord(wholeWord), m_scope(scope), m_dateOrder(int(NumericDateOrder()))
{
    m_phrase.reserve(phrase.size());
    for (QChar c : phrase) {
        const int b = SearchPhraseByte(c, ignoreCase);
        if (b < 0) {
            m_impossible = true;
            break;
        }
        m_phrase.append(char(b));
    }
    if (!phrase.isEmpty()) {
        m_checkBefore = isWordCharacter(phrase.front());
        m_checkAfter = isWordCharacter(phrase.back());
    }
    m_text.resize(4096);
    // The gathered text is folded throughout, "am" and "pm" of times too.
    if (m_ignoreCase) {
        const unsigned char* fold = AnsiFold::foldTable();
        m_a = char(fold[uchar('a')]);
        m_p = char(fold[uchar('p')]);
        m_m = char(fold[uchar('m')]);
    }
    if (m_impossible || m_phrase.isEmpty())
        return;

    // The piece: the longest run of the phrase without a space that no date
    // or time text can hold. The searched text joins its items with spaces,
    // so such a run lies inside one text field, as the record holds it.
    const auto couldBeDateText = [this](QByteArrayView run) {
        return std::all_of(run.begin(), run.end(), [this](char c) {
            return (c >= '0' && c <= '9') || c == '/' || c == ':' || c == m_a || c == m_p || c == m_m;
        });
    };
    for (const QByteArray& run : m_phrase.split(' '))
        if (run.size() > m_piece.size() && !couldBeDateText(run))
            m_piece = run;
    if (m_piece.isEmpty())
        return; // every record is gathered, as the phrase may lie in a date
    m_decidesAlone = m_piece.size() == m_phrase.size();

    const unsigned char* fold = AnsiFold::foldTable();
    for (int b = 0; b < 256; ++b) {
        const unsigned char c = m_ignoreCase ? fold[b] : static_cast<unsigned char>(b);
        if (c == static_cast<unsigned char>(m_piece.front()) && m_firstCount++ < 4)
            m_first[m_firstCount - 1] = static_cast<unsigned char>(b);
        if (c == static_cast<unsigned char>(m_piece.back()) && m_lastCount++ < 4)
            m_last[m_lastCount - 1] = static_cast<unsigned char>(b);
    }

    ItemList lists[7];
    const int listCount = ScopeLists(m_scope, lists);
    std::vector<Span> fields;
    m_fieldBegin.assign(CitationLayout::RecordLength, -1);
    m_fieldEnd.assign(CitationLayout::RecordLength, -1);
    for (int l = 0; l < listCount; ++l)
        for (int i = 0; i < lists[l].count; ++i)
            if (lists[l].first[i].form == Form::Text) {
                const FieldSpec& field = CitationLayout::field(lists[l].first[i].field);
                fields.push_back({field.offset, field.offset + field.width});
                for (int at = field.offset; at < field.offset + field.width; ++at) {
                    m_fieldBegin[size_t(at)] = qint16(field.offset);
                    m_fieldEnd[size_t(at)] = qint16(field.offset + field.width);
                }
            }
    std::sort(fields.begin(), fields.end(), [](const Span& a, const Span& b) { return a.begin < b.begin; });
    for (const Span& f : fields) {
        if (m_spanCount > 0 && f.begin <= m_spans[m_spanCount - 1].end)
            m_spans[m_spanCount - 1].end = std::max(m_spans[m_spanCount - 1].end, f.end);
        else
            m_spans[m_spanCount++] = f;
    }
}

template <typename Found>
bool RecordMatcher::scan(const char* record, Found&& found) const
{
    const unsigned char* table = m_ignoreCase ? AnsiFold::foldTable() : nullptr;
    const auto* piece = reinterpret_cast<const unsigned char*>(m_piece.constData());
    const int length = int(m_piece.size());
    const auto same = [&](const unsigned char* at) {
        if (!table)
            return std::memcmp(at, piece, size_t(length)) == 0;
        for (int k = 0; k < length; ++k)
            if (table[at[k]] != piece[k])
                return false;
        return true;
    };
    for (int s = 0; s < m_spanCount; ++s) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(record + m_spans[s].begin);
        const int span = m_spans[s].end - m_spans[s].begin;
        int i = 0;
#if defined(__SSE2__)
        if (m_firstCount <= 4 && m_lastCount <= 4) {
            // Sixteen places at a time: those whose first and last bytes
            // fit the piece's are compared in full.
            __m128i first[4], last[4];
            for (int v = 0; v < 4; ++v) {
                first[v] = _mm_set1_epi8(char(m_first[v < m_firstCount ? v : 0]));
                last[v] = _mm_set1_epi8(char(m_last[v < m_lastCount ? v : 0]));
            }
            for (; i + length - 1 + 16 <= span; i += 16) {
                const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
                const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i + length - 1));
                const __m128i fa = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(a, first[0]), _mm_cmpeq_epi8(a, first[1])),
                                                _mm_or_si128(_mm_cmpeq_epi8(a, first[2]), _mm_cmpeq_epi8(a, first[3])));
                const __m128i fb = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(b, last[0]), _mm_cmpeq_epi8(b, last[1])),
                                                _mm_or_si128(_mm_cmpeq_epi8(b, last[2]), _mm_cmpeq_epi8(b, last[3])));
                for (unsigned mask = unsigned(_mm_movemask_epi8(_mm_and_si128(fa, fb))); mask; mask &= mask - 1) {
                    const int at = i + __builtin_ctz(mask);
                    if (same(bytes + at) && found(m_spans[s].begin + at))
                        return true;
                }
            }
        }
#endif
        for (; i + length <= span; ++i)
            if (same(bytes + i) && found(m_spans[s].begin + i))
                return true;
    }
    return false;
}

bool RecordMatcher::wholeWordAt(const char* record, int at) const
{
    const unsigned char* fold = AnsiFold::foldTable();
    const bool* word = AnsiFold::wordTable();
    const auto isWord = [&](char c) { return word[fold[static_cast<unsigned char>(c)]]; };
    const int end = at + int(m_piece.size());
    const bool runsOnBefore = m_checkBefore && at > m_fieldBegin[size_t(at)] && isWord(record[at - 1]);
    const bool runsOnAfter = m_checkAfter && end < m_fieldEnd[size_t(at)] && isWord(record[end]);
    return !runsOnBefore && !runsOnAfter;
}

void RecordMatcher::gather(const char* record)
{
    ItemList lists[7];
    const int listCount = ScopeLists(m_scope, lists);
    const unsigned char* fold = AnsiFold::foldTable();
    char* out = m_text.data();
    for (int l = 0; l < listCount; ++l) {
        for (int i = 0; i < lists[l].count; ++i) {
            const Item& item = lists[l].first[i];
            const FieldSpec& field = CitationLayout::field(item.field);
            *out++ = ' ';
            if (item.form == Form::Text) {
                const char* from = record + field.offset;
                const char* to = from + field.width;
                while (from < to && *from == ' ')
                    ++from;
                while (to > from && to[-1] == ' ')
                    --to;
                if (m_ignoreCase) {
                    for (; from < to; ++from)
                        *out++ = char(fold[static_cast<unsigned char>(*from)]);
                } else {
                    std::memcpy(out, from, size_t(to - from));
                    out += to - from;
                }
                continue;
            }
            const DateValue v = CitationBytes::date(record, item.field);
            if (!IsInDateRange(v))
                continue; // no date: empty text
            if (item.form == Form::Time) {
                const QTime t = TimePart(v);
                int hour = t.hour() % 12;
                if (hour == 0)
                    hour = 12;
                if (hour >= 10)
                    *out++ = '1';
                *out++ = char('0' + hour % 10);
                *out++ = ':';
                out = put2(out, t.minute());
                *out++ = t.hour() < 12 ? m_a : m_p;
                *out++ = m_m;
                continue;
            }
            int year = 0, month = 0, day = 0;
            DatePart(v).getDate(&year, &month, &day);
            if (item.form == Form::YearMonth) {
                out = put4(out, year);
                *out++ = '/';
                out = put2(out, month);
                continue;
            }
            switch (DateOrder(m_dateOrder)) {
            case DateOrder::MonthFirst:
                out = put2(out, month);
                *out++ = '/';
                out = put2(out, day);
                *out++ = '/';
                out = put4(out, year);
                break;
            case DateOrder::DayFirst:
                out = put2(out, day);
                *out++ = '/';
                out = put2(out, month);
                *out++ = '/';
                out = put4(out, year);
                break;
            case DateOrder::YearFirst:
                out = put4(out, year);
                *out++ = '/';
                out = put2(out, month);
                *out++ = '/';
                out = put2(out, day);
                break;
            }
        }
    }
    *out++ = ' ';
    m_text.resize(out - m_text.constData());
}

bool RecordMatcher::matches(const char* record)
{
    if (m_impossible)
        return false;
    if (m_phrase.isEmpty())
        return true;
    if (m_piece.isEmpty())
        return matchesGathered(record);
    if (!m_decidesAlone)
        return scan(record, [](int) { return true; }) && matchesGathered(record);
    // The phrase is the piece: a place counts when it lies inside one text
    // field, whose ends stand for the spaces around it in the searched text.
    return scan(record, [&](int at) {
        if (m_fieldBegin[size_t(at)] < 0 || at + m_piece.size() > m_fieldEnd[size_t(at)])
            return false;
        return !m_wholeWord || wholeWordAt(record, at);
    });
}

bool RecordMatcher::matchesGathered(const char* record)
{
    // Room for every field of a record plus the separators and date texts.
    m_text.resize(4096);
    gather(record);
    const char* text = m_text.constData();
    const size_t length = size_t(m_text.size());
    const size_t phraseLength = size_t(m_phrase.size());
    const bool* word = AnsiFold::wordTable();
    const char* from = text;
    while (size_t(text + length - from) >= phraseLength) {
        const auto* found = static_cast<const char*>(memmem(from, size_t(text + length - from), m_phrase.constData(), phraseLength));
        if (!found)
            return false;
        if (!m_wholeWord)
            return true;
        const char* end = found + phraseLength;
        const bool runsOnBefore = m_checkBefore && found > text && word[static_cast<unsigned char>(found[-1])];
        const bool runsOnAfter = m_checkAfter && end < text + length && word[static_cast<unsigned char>(*end)];
        if (!runsOnBefore && !runsOnAfter)
            return true;
        from = found + 1;
    }
    return false;
}
