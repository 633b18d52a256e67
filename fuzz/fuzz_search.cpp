// The search matcher on any text and phrase: no crash, a whole-word match is
// also a plain match, and a plain match is exactly "the phrase occurs".
#include "FuzzInput.h"
#include "store/SearchMatch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QString> parts = FuzzLines(data, size);
    const QString phrase = parts.value(0);
    const QString text = parts.value(1);
    for (const bool ignoreCase : {false, true}) {
        const bool plain = MatchesSearch(text, phrase, ignoreCase, false);
        const bool whole = MatchesSearch(text, phrase, ignoreCase, true);
        FUZZ_CHECK(!whole || plain, "whole-word match without a plain match");
        if (!phrase.isEmpty())
            FUZZ_CHECK(plain == text.contains(phrase, ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive),
                       "plain match differs from containment");
    }
    return 0;
}
