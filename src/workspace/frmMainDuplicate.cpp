// The warning before a citation is saved under a citation number that is
// already on file: a ticket entered twice is the commonest slip of data
// entry. The look-up goes through the number index, so that saving costs the
// same at a million citations as at ten.
#include "workspace/frmMain.h"

#include "platform/Messages.h"
#include "store/AnsiText.h"
#include "store/CitationNumberIndex.h"
#include "storage/Storage.h"
#include "store/DateValue.h"
#include "widgets/BusyGuard.h"
#include "workspace/CitationList.h"

#include <QLineEdit>
#include <QTabWidget>

bool frmMain::ConfirmCitationNumber(QList<CitationKey>* toldAbout, bool* numberLookedUp)
{
    CitationStore& citations = storage().citations();
    const QString number = Ansi::trimSpaces(txtField[2]->text());
    // An edit whose citation was deleted at another desk is saved as a new one.
    const int n = Adding || m_editedDeleted ? 0 : (m_editKey > 0 ? m_editKey : SelectedRecordNumber());
    FileError error;
    if (toldAbout)
        toldAbout->clear();
    if (numberLookedUp)
        *numberLookedUp = false;

    if (n > 0) {
        // An edit that keeps its number asks nothing.
        CitationRecord stored;
        if (citations.read(n, stored, error)
            && CitationNumberIndex::normalised(stored.text(CitationField::CitationNumber))
                == CitationNumberIndex::normalised(number))
            return true;
        error.clear();
    }

    QList<int> others;
    // A file that cannot be read cannot be checked; the save itself then
    // tells the user what is wrong with it.
    bool checked = false;
    {
        BusyGuard busy(this); // the first look-up reads the file once
        checked = citations.findNumber(number, n, others, error);
    }
    if (!checked)
        return true;
    // On a server the save then makes sure that no other desk took the
    // number since (two desks typing the same number at once).
    if (numberLookedUp)
        *numberLookedUp = true;
    if (toldAbout)
        *toldAbout = others;
    if (others.isEmpty())
        return true;

    QString dated;
    CitationRecord first;
    if (citations.read(others.first(), first, error))
        dated = FormatNumericDate(first.date(CitationField::OffenseDate));
    QString text = QStringLiteral("Citation Number ") + number;
    if (others.size() == 1)
        text += QStringLiteral(" is already on file,") + CRLF + QStringLiteral("dated ") + dated + u'.';
    else
        text += QStringLiteral(" is already on file for %1 citations,").arg(others.size()) + CRLF
                + QStringLiteral("the first dated ") + dated + u'.';
    text += CRLF + CRLF + QStringLiteral("Do you want to save this citation anyway?");
    if (MsgBox(text, Msg::YesNo | Msg::Question | Msg::DefaultButton2, QStringLiteral("Duplicate Citation Number"))
        == Msg::Yes)
        return true;
    MainTab->setCurrentIndex(0);
    moveFocusTo(txtField[2].widget());
    return false;
}
