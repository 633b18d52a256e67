// The main window's Tab order: the order the Tab key walks the controls,
// one Tab stop per option group, and the first stop of a page.
#include "workspace/frmMain.h"

#include "widgets/OptionTabStop.h"
#include "widgets/VellButton.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>

// The Tab key walks the window in the order it reads: the list with its
// buttons, the record and window buttons, the page tabs, then the fields of
// the page shown, row by row and a frame's contents as a whole. Controls of
// hidden pages are passed over, so from a page's last field Tab goes on to
// the buttons.
void frmMain::orderTabStops()
{
    const auto fields = [this](std::initializer_list<int> indexes) {
        QList<QWidget*> out;
        for (int i : indexes)
            out << txtField[size_t(i)].widget();
        return out;
    };
    const auto options = [](const auto& buttons) {
        QList<QWidget*> out;
        for (size_t c = 1; c < buttons.size(); ++c)
            out << buttons[c];
        return out;
    };
    m_pageTabStops[0] = fields({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    m_pageTabStops[1] = fields({11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23});
    m_pageTabStops[2] = fields({24, 25, 26, 27, 28, 29, 30, 31}) << chkCommercialVehicle;
    m_pageTabStops[3] = fields({32, 33}) + options(optStateLocal)
        + QList<QWidget*>{chkCommercialViolation, chkHazMatViolation, chkAccident, chkSpeeding} + fields({34, 35})
        + options(optSpeeding) + QList<QWidget*>{chkDUI} + fields({36}) + options(optTest);
    m_pageTabStops[4] = fields({37, 38, 39, 40}) + options(optWeather) + options(optTraffic) + options(optRoadDry)
        + options(optRoadType) + options(optLighting);
    m_pageTabStops[5] = fields({41, 42, 43, 44, 45, 46, 47}) + options(optSceneDisposition);
    m_pageTabStops[6] = fields({NotesField});
    for (int i = 1; i <= 5; ++i)
        m_pageTabStops[DefaultsPage] << txtDefault[size_t(i)];

    QList<QWidget*> chain{grid, cmdFindEntries, cmdSeeAllEntries, cmdPrintList, cmdExportList, cmdImportList,
                         cmdStatistics};
    for (QRadioButton* o : optSort)
        chain << o;
    chain += QList<QWidget*>{cmdAddEntry, cmdAddSave, cmdEditSave, cmdAddCancel, cmdEditCancel, cmdEditEntry,
                             cmdPrintEntry, cmdDeleteEntry, cmdCitationHistory, cmdHelp, cmdAdminWindow, cmdBackupRestore, cmdQuit,
                             MainTab};
    for (const QList<QWidget*>& page : m_pageTabStops)
        chain += page;
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
    orderListButtons();
}

void frmMain::keepOptionTabStops()
{
    for (QButtonGroup* group : m_optionGroups)
        KeepOptionTabStop(group->buttons());
    KeepOptionTabStop({optSort[0], optSort[1], optSort[2]});
}

QWidget* frmMain::firstTabStop(int page) const
{
    if (page < 0 || page >= int(m_pageTabStops.size()))
        return nullptr;
    for (QWidget* w : m_pageTabStops[size_t(page)])
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled())
            return w;
    return nullptr;
}
