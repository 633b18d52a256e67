#pragma once
// The preview of a CSV import: every row of the file with its state (ready,
// a citation number on file or twice in the file, or refused with the field
// and the reason). Nothing is saved here: Import closes the window accepted,
// and the caller adds the ready rows and the duplicates ticked in the list.
#include "workspace/CitationImport.h"

#include <QDialog>

class QLabel;
class QTableView;
class VellButton;
class ImportRowsModel;

class frmImport : public QDialog {
    Q_OBJECT
public:
    frmImport(const ImportPreview& preview, QWidget* parent = nullptr);

    // The duplicates the user ticked, as indexes of the preview's rows.
    QSet<int> tickedRows() const;
    // How many citations Import adds as things stand.
    int citationsToImport() const;

    QLabel* lblSummary = nullptr;
    QTableView* gridRows = nullptr;
    VellButton* cmdImport = nullptr;
    VellButton* cmdCancel = nullptr;

private:
    void updateImportButton();

    const ImportPreview& m_preview;
    ImportRowsModel* m_model = nullptr;
};
