#include "widgets/OptionTabStop.h"

#include <QAbstractButton>

namespace {
void setOptionTabStop(const QList<QAbstractButton*>& buttons)
{
    QAbstractButton* stop = nullptr;
    for (QAbstractButton* b : buttons)
        if (b->isChecked())
            stop = b;
    if (!stop && !buttons.isEmpty())
        stop = buttons.first();
    for (QAbstractButton* b : buttons)
        b->setFocusPolicy(b == stop ? Qt::StrongFocus : Qt::ClickFocus);
}
} // namespace

void KeepOptionTabStop(const QList<QAbstractButton*>& buttons)
{
    setOptionTabStop(buttons);
    for (QAbstractButton* b : buttons)
        QObject::connect(b, &QAbstractButton::toggled, b, [buttons] { setOptionTabStop(buttons); });
}
