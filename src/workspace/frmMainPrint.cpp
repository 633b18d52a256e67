// The main window's print buttons: the sheet of the citation on display and
// the list as the grid shows it.
#include "workspace/frmMain.h"

#include "print/CitationSheet.h"
#include "print/ListPrintout.h"
#include "session/AuditNotice.h"
#include "storage/AuditEvents.h"
#include "store/SearchSettings.h"
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
    bool withNotes = false;
    const int key = SelectedRecordNumber();
    if (!PrintCitation(this, values, &withNotes))
        return;
    // The trail names the citation by the number the sheet printed.
    CitationRecord record;
    record.setText(CitationField::CitationNumber, values[2]);
    RecordOrTell(AuditEvents::citationPrinted(record, key, withNotes), QStringLiteral("this printout"));
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
    if (!PrintCitationList(this, rows, frame[1]->title()))
        return;
    const SearchSettings& search = searchSettings();
    const QString scope = SubListMode ? QStringLiteral("search for \"%1\"").arg(search.phrase)
                                      : QStringLiteral("all citations");
    RecordOrTell(AuditEvents::listPrinted(count, scope), QStringLiteral("this printout"));
}
