#include "workspace/Validation.h"

#include "platform/Messages.h"
#include "store/AnsiText.h"
#include "store/DateValue.h"
#include "store/NumberText.h"

namespace {

constexpr int MessageFlags = Msg::Critical | Msg::OKOnly;

bool isMandatory(int index) { return index == 2 || index == 3 || index == 32 || index == 39; }
bool isUpperCased(int index) { return index == 15 || index == 21 || index == 30; }

// Splits a text into its characters, a surrogate pair counting as one.
QStringList characters(const QString& text)
{
    QStringList out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype n = (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) ? 2 : 1;
        out.append(text.mid(i, n));
        i += n - 1;
    }
    return out;
}

// Upper-cases a text, but keeps any character whose upper-case form the data
// file could not hold ("µ" would become a Greek capital), so that the
// normalising never turns a storable text into one that is refused.
QString upperCased(const QString& text)
{
    QString out;
    for (const QString& c : characters(text)) {
        const QString upper = c.toUpper();
        out += Ansi::canEncode(upper) ? upper : c;
    }
    return out;
}

// How a character the data file cannot hold is named to the user: the
// character itself, or its code when it would not show (joiners, marks,
// control and private characters).
QString shownCharacter(const QString& c)
{
    const char32_t code = c.size() == 2 ? QChar::surrogateToUcs4(c.at(0), c.at(1)) : c.at(0).unicode();
    switch (QChar::category(code)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
        return QStringLiteral("U+") + QString::number(uint(code), 16).toUpper().rightJustified(4, u'0');
    default:
        return c;
    }
}

// A date field needs a date, a time field a time of day alone: a time typed
// into a date field would be stored as 30 December 1899, and a date typed into
// a time field would lose its date and show as midnight. What was typed
// decides, not the value: 12/30/1899 is a date although its value is 0.
bool fitsField(int index, const ParsedDateTime& typed)
{
    return EditorLayout::isTimeField(index) ? !typed.hasDate : typed.hasDate;
}

} // namespace

namespace ValidationText {

QString MandatoryText()
{
    return QStringLiteral("The data fields that are") + CRLF + QStringLiteral("indicated by a red label") + CRLF
        + QStringLiteral("are mandatory entries.");
}

QString DateText(const QString& typed)
{
    return QStringLiteral("I don't recognize") + CRLF + CRLF + QStringLiteral("   ") + typed + CRLF + CRLF
        + QStringLiteral("as a valid date or time.");
}

QString SpeedText(const QString& speedLabel)
{
    return QStringLiteral("You indicate a Speeding Violation,") + CRLF + QStringLiteral("but you didn't enter a ")
        + speedLabel + u'!';
}

QString UnstorableText(const QString& fieldLabel, const QString& typed)
{
    QStringList shown;
    for (const QString& c : characters(typed)) {
        if (Ansi::canEncode(c))
            continue;
        const QString name = shownCharacter(c);
        if (!shown.contains(name))
            shown.append(name);
    }
    return QStringLiteral("The '") + fieldLabel + QStringLiteral("' field holds characters") + CRLF
        + QStringLiteral("that cannot be stored:") + CRLF + CRLF + QStringLiteral("   ") + shown.join(QStringLiteral("  "));
}

} // namespace ValidationText

ValidationResult ValidateCitationValues(EditorValues& values)
{
    using namespace ValidationText;
    ValidationResult result;

    // First pass: normalise each box in turn; a missing mandatory entry or a
    // text that cannot be stored ends the validation at that box.
    for (int i = 1; i <= CitationLayout::EditorFieldCount; ++i) {
        QString& text = values[i];
        text = Ansi::trimSpaces(text);
        if (isMandatory(i) && text.isEmpty()) {
            result.messages.append({MandatoryText(), MandatoryCaption, MessageFlags});
            result.invalidField = qint16(i);
            return result;
        }
        if (isUpperCased(i))
            text = upperCased(text);
        if (!Ansi::canEncode(text)) {
            result.messages.append({UnstorableText(EditorLayout::fieldLabel(i), text), UnstorableCaption, MessageFlags});
            result.invalidField = qint16(i);
            return result;
        }
    }

    // Second pass: the first date or time that is not recognised.
    for (int i = 1; i <= CitationLayout::EditorFieldCount; ++i) {
        if (!EditorLayout::isDateField(i) && !EditorLayout::isTimeField(i))
            continue;
        const QString& text = values[i];
        if (text.isEmpty())
            continue;
        const std::optional<ParsedDateTime> typed = ParseDateTime(text);
        if (!typed || !fitsField(i, *typed)) {
            result.messages.append({DateText(text), DateCaption, MessageFlags});
            result.invalidField = qint16(i);
            break;
        }
    }

    // Speeding: both speeds must be given. A speed counts as given when it
    // is stored as at least 1 (the save keeps the rounded leading number, and
    // the editor shows nothing for less).
    if (values[CheckBox::Speeding]) {
        int missing = 0;
        if (LeadingNumberAsInt16(values[34]) < 1)
            missing = 34;
        else if (LeadingNumberAsInt16(values[35]) < 1)
            missing = 35;
        if (missing) {
            result.invalidField = qint16(missing);
            result.messages.append({SpeedText(EditorLayout::fieldLabel(missing)), SpeedCaption, MessageFlags});
        }
    }
    return result;
}

int PageOfField(int index)
{
    static constexpr int LastFieldOfPage[] = {10, 23, 31, 36, 40, 47, 48};
    if (index < 1)
        return -1;
    for (int page = 0; page < int(std::size(LastFieldOfPage)); ++page)
        if (index <= LastFieldOfPage[page])
            return page;
    return -1;
}
