// The warning before a citation is saved under a citation number that is
// already on file: a ticket entered twice is the commonest slip of data
// entry. The look-up goes through the number index, so that saving costs the
// same at a million citations as at ten.
#include "workspace/frmMain.h"

#include "platform/Messages.h"
#include "store/AnsiText.h"
#include "store/CitationNumberIndex.h"
#include "store/CitationFile.h"
#include "store/DateValue.h"
#include "widgets/BusyGuard.h"
#include "workspace/CitationList.h"

#include <QLineEdit>
#include <QTabWidget>

bool frmMain::ConfirmCitationNumber()
{
    CitationNumberIndex& index = citationNumberIndex();
    const QString number = Ansi::trimSpaces(txtField[2]->text());
    const int n = Adding ? 0 : SelectedRecordNumber();
    m_numberBeforeSave = {};

    if (n > 0) {
        // An edit that keeps its number asks nothing.
        CitationFileView reader;
        const char* stored = reader.open() ? reader.record(n) : nullptr;
        if (stored) {
            m_numberBeforeSave.number = CitationBytes::text(stored, CitationField::CitationNumber);
            if (CitationNumberIndex::normalised(m_numberBeforeSave.number) == CitationNumberIndex::normalised(number)) {
                m_numberBeforeSave.indexCurrent = index.isCurrent();
                return true;
            }
        }
    }

    QList<int> others;
    FileError error;
    // A file that cannot be read cannot be checked; the save itself then
    // tells the user what is wrong with it.
    bool checked = false;
    {
        BusyGuard busy(this); // the first look-up reads the file once
        checked = index.find(number, n, others, error);
    }
    if (!checked)
        return true;
    m_numberBeforeSave.indexCurrent = true;
    if (others.isEmpty())
        return true;

    QString dated;
    CitationFileView reader;
    if (const char* first = reader.open() ? reader.record(others.first()) : nullptr)
        dated = FormatNumericDate(CitationBytes::date(first, CitationField::OffenseDate));
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

void frmMain::NoteCitationNumberSaved(int n)
{
    citationNumberIndex().recordWritten(n, m_numberBeforeSave.number, Ansi::trimSpaces(txtField[2]->text()),
                                        m_numberBeforeSave.indexCurrent);
}
