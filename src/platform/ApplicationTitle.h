#pragma once
// Who the program is to the desktop: the name under which its settings are
// kept and the caption of message boxes that give none of their own.
#include <QString>

// "Sennet": the name of the program, of its settings, and the caption of
// message boxes that give none of their own.
QString ApplicationTitle();
// The program's file description, shown on the title page.
QString ApplicationDescription();
