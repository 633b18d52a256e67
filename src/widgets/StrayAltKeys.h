#pragma once
// Alt+letter belongs to access keys. One whose button or page is hidden or
// disabled has nowhere to go, and a text box would otherwise take it as the
// plain letter.
class QKeyEvent;
class QWidget;

// An Alt+key (without Ctrl, so not AltGr) that would type a character.
bool IsStrayAltKey(const QKeyEvent* key);

// Keeps such keys out of every text box of `window` that exists now. Access
// keys still work: they are taken as shortcuts before any box sees the key.
void KeepAltKeysOutOfText(QWidget* window);
