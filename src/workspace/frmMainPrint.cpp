// The main window's print buttons: the sheet of the citation on display and
// the list as the grid shows it.
#include "workspace/frmMain.h"

#include "print/CitationSheet.h"
#include "print/ListPrintout.h"
#include "workspace/CitationList.h"

#include <QCheckBox>
#include <QGroupBox>

void frmMain::cmdPrintEntry_Click()
{
    // The sheet shows what the record view holds, not what the file holds.
    // A check box prints "Yes" only when it is ticked: a grey one counts as
    // checked to isChecked() but prints "No".
    EditorValues values = EditorValuesFromWindow();
    for (const CheckBoxSpec& c : EditorLayout::checkBoxes())
        values[c.id] = checkBoxControl(c.id)->checkState() == Qt::Checked;
    PrintCitation(this, values);
}

void frmMain::cmdPrintList_Click()
{
    QList<ListPrintRow> rows;
    const int count = CitationsInList();
    rows.reserve(count);
    for (int r = 0; r < count; ++r) {
        const CitationRow& row = listModel->row(r);
        rows.append({row.date, row.citationNumber, row.offense, row.location});
    }
    PrintCitationList(this, rows, frame[1]->title());
}
