#pragma once
// The artwork of the admin window and the user dialog, drawn in code: a
// small background tile and the pictures of the picture-only buttons.
#include <QPixmap>

class VellButton;

// A soft slate-blue weave, tiled over the window.
QPixmap UserWindowsBackgroundTile();
// A question mark in a blue disc.
QPixmap HelpButtonPicture(int size);
// An open door with an arrow leaving through it.
QPixmap QuitButtonPicture(int size);

// Shows `picture` centred on a button that has no caption. The button keeps
// its accessible name for keyboard and screen-reader users.
void SetButtonPicture(VellButton* button, const QPixmap& picture, const QString& accessibleName);
