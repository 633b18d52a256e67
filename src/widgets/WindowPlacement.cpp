#include "widgets/WindowPlacement.h"

#include "platform/Screen.h"

#include <QWidget>

void CenterOnScreen(QWidget* window)
{
    const QSize screen = screenMetrics().sizeInPixels();
    const QSize size = window->frameGeometry().size();
    window->move(qMax(0, (screen.width() - size.width()) / 2), qMax(0, (screen.height() - size.height()) / 2));
}
