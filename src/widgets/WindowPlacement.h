#pragma once
class QWidget;

// Puts a window in the middle of the screen.
void CenterOnScreen(QWidget* window);
