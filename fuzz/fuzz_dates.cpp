// Typed dates and times under US, British and German settings: recognition
// must not crash, and a recognised date shown in the numeric order must be
// recognised again as the same day.
#include "FuzzInput.h"
#include "store/DateValue.h"

#include <QLocale>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QList<QLocale> locales{QLocale(QStringLiteral("en_US")), QLocale(QStringLiteral("en_GB")),
                                        QLocale(QStringLiteral("de_DE"))};
    const QString typed = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QLocale& locale : locales) {
        QLocale::setDefault(locale);
        (void)ParseDateTime(typed, locale);
        const std::optional<DateValue> value = ParseDateValue(typed, locale);
        if (!value || !IsInDateRange(*value))
            continue;
        const QString shown = FormatNumericDate(*value);
        const std::optional<DateValue> again = ParseDateValue(shown, locale);
        FUZZ_CHECK(again.has_value(), "\"%s\" shown as \"%s\" is not recognised under %s", qPrintable(typed),
                   qPrintable(shown), qPrintable(locale.name()));
        FUZZ_CHECK(DatePart(*again) == DatePart(*value), "\"%s\" shown as \"%s\" reads as another day under %s",
                   qPrintable(typed), qPrintable(shown), qPrintable(locale.name()));
    }
    return 0;
}
