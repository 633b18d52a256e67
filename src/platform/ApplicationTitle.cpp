#include "platform/ApplicationTitle.h"

QString ApplicationTitle() { return QStringLiteral("Sennet"); }
QString ApplicationDescription() { return QStringLiteral("Traffic Citation Record Management"); }
