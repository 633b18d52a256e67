#pragma once
// Deciding which citations a search finds: the text of a record that a search
// scope looks at, and whether a phrase occurs in it.
#include <QString>

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

// The same answer as MatchesSearch(SearchedText(record, scope), ...) for every
// record, found on the record's bytes: the scope's fields are gathered as
// Windows-1252 bytes (folded when case does not count) into a buffer the
// matcher keeps, and the phrase is looked for there. One matcher per thread.
class RecordMatcher {
public:
    RecordMatcher(const QString& phrase, int scope, bool ignoreCase, bool wholeWord);
    bool matches(const char* record);

private:
    void gather(const char* record);

    QByteArray m_phrase;    // encoded (and folded), empty when the phrase is empty
    bool m_impossible = false; // the phrase holds a character no record can hold
    bool m_ignoreCase;
    bool m_wholeWord;
    bool m_checkBefore = false;
    bool m_checkAfter = false;
    int m_scope;
    int m_dateOrder;
    QByteArray m_text;
};
