#pragma once
// The "save as" file dialog, for files the user writes out of the program
// (exports). Behind a seam so that tests can script the answers.
#include <QString>
#include <QStringList>

class SaveFileDialog {
public:
    virtual ~SaveFileDialog() = default;
    // Asks for the file to write, offering `suggested` and the file types of
    // `filters` ("CSV, every field (*.csv)"), the one at `chosenFilter` first.
    // Returns the chosen path, or an empty text when the user cancelled; on
    // return `chosenFilter` is the index of the type the user picked.
    virtual QString saveFileName(const QString& title, const QString& suggested, const QStringList& filters,
                                 int& chosenFilter) = 0;
};

// The folder a save dialog starts in: the one the user last saved into while
// it still exists, else the documents folder (the XDG one on Linux), else the
// home folder; never the program's data folder.
QString SaveFolder();
// Notes the folder of `savedFile` as the one the next save dialog starts in.
void RememberSaveFolder(const QString& savedFile);

QString AskSaveFileName(const QString& title, const QString& suggested, const QStringList& filters, int& chosenFilter);
void setSaveFileDialog(SaveFileDialog* dialog); // tests; nullptr restores the real dialog
