#pragma once
// Tab into a group of option buttons lands on the chosen option, so a Space
// there changes nothing; the arrow keys move between the options.
#include <QList>

class QAbstractButton;

// Makes the chosen option of `buttons` the group's only Tab stop (the first
// option when none is chosen), now and whenever the choice changes.
void KeepOptionTabStop(const QList<QAbstractButton*>& buttons);
