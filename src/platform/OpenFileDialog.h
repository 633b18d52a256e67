#pragma once
// The "open" file dialog, for files the user brings into the program
// (imports). Behind a seam so that tests can script the answer.
#include <QString>
#include <QStringList>

class OpenFileDialog {
public:
    virtual ~OpenFileDialog() = default;
    // Asks for an existing file in `folder`, offering the file types of
    // `filters`. Returns the chosen path, or an empty text when cancelled.
    virtual QString openFileName(const QString& title, const QString& folder, const QStringList& filters) = 0;
};

QString AskOpenFileName(const QString& title, const QString& folder, const QStringList& filters);
void setOpenFileDialog(OpenFileDialog* dialog); // tests; nullptr restores the real dialog
