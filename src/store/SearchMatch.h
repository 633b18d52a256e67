#pragma once
// Deciding which citations a search finds: the text of a record that a search
// scope looks at, and whether a phrase occurs in it.
#include <QString>
#include <vector>

// Search scopes 1..8 are the choices of the search dialog; scope 9 is the
// "Basics" part that scopes 1 and 2 begin with.
namespace SearchScope {
constexpr int AllText = 1;
constexpr int AllExceptNotes = 2;
constexpr int Defendant = 3;
constexpr int Vehicle = 4;
constexpr int Offense = 5;
constexpr int Location = 6;
constexpr int Court = 7;
constexpr int Notes = 8;
constexpr int Basics = 9;
} // namespace SearchScope

// The searched text of a record (3000 bytes) for a scope: the scope's fields,
// trimmed, dates in the numeric date order as the list and the editor show
// them ("mm/dd/yyyy" under US settings) and times as "h:nnam/pm" (a stored 0 is
// formatted like any other value), the offense date also as "yyyy/mm" so a
// phrase like "2006/09" finds a month; joined with single spaces, with one
// space before the first and after the last. An unknown scope searches all.
QString SearchedText(const char* record, int scope);

// True when phrase occurs in text. With wholeWord, an occurrence counts only
// where it does not run on into a neighbouring word: a letter (accented ones
// too) or digit just before or after it rejects that occurrence when the
// phrase itself begins or ends with a letter or digit there. Every occurrence
// is tried, so "cat" is found in "concat cat".
bool MatchesSearch(const QString& text, const QString& phrase, bool ignoreCase, bool wholeWord);

// The byte one character of a search phrase is looked for as: the
// Windows-1252 byte, folded when case does not count; -1 when no record's
// text can hold the character.
int SearchPhraseByte(QChar c, bool ignoreCase);

// The same answer as MatchesSearch(SearchedText(record, scope), ...) for every
// record, found on the record's bytes. The raw bytes of the scope's text
// fields are scanned first, sixteen at a time, for a space-free piece of the
// phrase (folded when case does not count): a record without it cannot match
// and is left at that. A phrase that is one such piece and cannot be part of
// a date or time text is decided right there, field by field. Otherwise the
// scope's fields are gathered as Windows-1252 bytes (folded when case does not
// count), dates formatted, into a buffer the matcher keeps, and the phrase is
// looked for there. One matcher per thread.
class RecordMatcher {
public:
    RecordMatcher(const QString& phrase, int scope, bool ignoreCase, bool wholeWord);
    bool matches(const char* record);

private:
    void gather(const char* record);
    bool matchesGathered(const char* record);
    // Calls found(at) for each place in the scope's text fields where the
    // piece occurs, until it returns true; true then.
    template <typename Found>
    bool scan(const char* record, Found&& found) const;
    bool wholeWordAt(const char* record, int at) const;

    QByteArray m_phrase;    // encoded (and folded), empty when the phrase is empty
    bool m_impossible = false; // the phrase holds a character no record can hold
    bool m_ignoreCase;
    bool m_wholeWord;
    bool m_checkBefore = false;
    bool m_checkAfter = false;
    int m_scope;
    int m_dateOrder;
    QByteArray m_text;
    char m_a = 'a', m_p = 'p', m_m = 'm'; // the letters of "am" and "pm" as gathered

    // The prefilter: the piece looked for, the bytes that fold to its first
    // and last byte, the byte ranges of the scope's text fields (adjacent
    // ones joined), and per byte of a record the text field holding it.
    QByteArray m_piece;
    bool m_decidesAlone = false; // the piece is the whole phrase and no date text can hold it
    unsigned char m_first[4] = {}, m_last[4] = {};
    int m_firstCount = 0, m_lastCount = 0;
    struct Span {
        int begin, end;
    };
    Span m_spans[64];
    int m_spanCount = 0;
    std::vector<qint16> m_fieldBegin, m_fieldEnd; // -1 outside the scope's text fields
};
