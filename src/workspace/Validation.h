#pragma once
// The checks a citation passes before it is saved: texts trimmed, three code
// fields upper-cased, the mandatory fields present, dates and times
// recognisable, the speeds of a speeding offense given, and every text
// storable in the data file's single-byte character set.
// No window and no message box: the caller shows the messages in order and
// moves the focus to the invalid field.
#include "store/EditorValues.h"

#include <QList>
#include <QString>

struct ValidationMessage {
    QString text;
    QString caption;
    int flags; // Msg:: flags
};

struct ValidationResult {
    qint16 invalidField = 0; // 0 when everything may be saved, else the txtField index to correct
    QList<ValidationMessage> messages;
};

// Trims (spaces only) and upper-cases the texts in `values` in place as the
// checks go; boxes after a missing mandatory field or an unstorable text stay
// as they were typed. Returns the messages in the order they are to be shown
// and the field the user must correct.
ValidationResult ValidateCitationValues(EditorValues& values);

// The editor page (0-based) that holds txtField(index); -1 outside 1..48.
int PageOfField(int index);

// The texts of the messages, for callers and tests that name them.
namespace ValidationText {
QString MandatoryText();
inline const QString MandatoryCaption = QStringLiteral("Data entry required");
QString DateText(const QString& typed);
inline const QString DateCaption = QStringLiteral("Unrecognizable Date or Time");
QString SpeedText(const QString& speedLabel);
inline const QString SpeedCaption = QStringLiteral("Missing Information");
QString UnstorableText(const QString& fieldLabel, const QString& typed);
inline const QString UnstorableCaption = QStringLiteral("Unsupported Characters");
} // namespace ValidationText
