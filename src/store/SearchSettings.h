#pragma once
// The search settings of this run: set by the search dialog, read by the list
// loader in sub-list mode, reset when the main window loads. Never stored.
#include <QString>

struct SearchSettings {
    QString phrase;     // empty means no search
    qint16 scope = 1;   // 1..8, the chosen search scope
    qint16 ignoreCase = 1; // 1 compares without regard to case
    qint16 wholeWord = 0;  // 1 accepts only whole-word occurrences
};

SearchSettings& searchSettings();
