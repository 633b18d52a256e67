// Creating and placing the controls of the main window.
#include "workspace/frmMain.h"

#include "platform/Screen.h"
#include "session/ProcessState.h"
#include "widgets/WindowPlacement.h"
#include "widgets/VellButton.h"
#include "workspace/CitationList.h"
#include "workspace/DeskLockBox.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QResizeEvent>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

namespace {

// The window is designed 11900 twips wide and 9000 twips high; on a screen
// higher than that it grows to a fraction of the screen, and the list frame
// takes the extra height.
constexpr int WindowWidthTwips = 11900;
constexpr int DesignHeightTwips = 9000;
constexpr double ScreenShare = 1.3;

constexpr int Margin = 6;
constexpr int MinimumListHeight = 120;
constexpr int ButtonWidth = 88;
constexpr int ButtonHeight = 40;
constexpr int WidestBox = 280;

QString arrayName(const char* name, int index) { return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index); }

QVBoxLayout* column(QWidget* owner = nullptr, int spacing = 6)
{
    auto* l = owner ? new QVBoxLayout(owner) : new QVBoxLayout;
    l->setSpacing(spacing);
    if (!owner)
        l->setContentsMargins(0, 0, 0, 0);
    return l;
}

QHBoxLayout* row(int spacing = 10)
{
    auto* l = new QHBoxLayout;
    l->setSpacing(spacing);
    l->setContentsMargins(0, 0, 0, 0);
    return l;
}

// A box wide enough for `limit` digits, within reason; longer texts scroll.
int boxWidth(const QWidget* box, int limit)
{
    return qBound(36, box->fontMetrics().horizontalAdvance(QLatin1Char('0')) * limit + 14, WidestBox);
}

VellButton* makeButton(const char* name, QWidget* parent)
{
    auto* b = new VellButton(QLatin1String(name), parent);
    b->setFixedSize(ButtonWidth, ButtonHeight);
    b->setBackColor(QColor(228, 232, 240));
    b->setBackOver(QColor(255, 244, 200));
    b->setForeColor(QColor(0, 0, 0));
    b->setForeOver(QColor(0, 0, 128));
    return b;
}

// The list grid. While it has rows one of them is always selected, as the
// editor below shows that citation: a Ctrl+click, Ctrl+Home or Ctrl+Space on
// the selected row, or a click below the last row, leaves the selection as
// it is instead of clearing it.
class CitationGrid final : public QTableView {
public:
    using QTableView::QTableView;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override
    {
        if (!index.isValid())
            return QItemSelectionModel::NoUpdate;
        QItemSelectionModel::SelectionFlags flags = QTableView::selectionCommand(index, event);
        if (flags & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
            flags = QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
        return flags;
    }
};

} // namespace

void frmMain::buildControls()
{
    for (int i = 1; i <= 15; ++i) {
        frame[size_t(i)] = new QGroupBox(this);
        frame[size_t(i)]->setObjectName(arrayName("frame", i));
    }
    buildChoiceControls();
    buildListFrame();
    buildEditorFrame();

    timerFlash = new QTimer(this);
    timerFlash->setObjectName(QStringLiteral("timerFlash"));
    // The flash asks for a tick every 2 ms; it is paced at the classic desktop
    // timer's rate so that the button swings about once a second instead of
    // flickering.
    timerFlash->setInterval(16);

    placeFrames();
    orderTabStops();
    keepOptionTabStops();
}

// The check boxes and option buttons, made before the pages that hold them.
void frmMain::buildChoiceControls()
{
    for (const CheckBoxSpec& def : EditorLayout::checkBoxes()) {
        auto* box = new QCheckBox(QLatin1String(def.caption), this);
        box->setObjectName(QLatin1String(def.name));
        switch (def.id) {
        case CheckBox::CommercialVehicle: chkCommercialVehicle = box; break;
        case CheckBox::Accident: chkAccident = box; break;
        case CheckBox::CommercialViolation: chkCommercialViolation = box; break;
        case CheckBox::HazMatViolation: chkHazMatViolation = box; break;
        case CheckBox::Speeding: chkSpeeding = box; break;
        case CheckBox::DUI: chkDUI = box; break;
        case CheckBox::Count: break;
        }
    }
    for (const OptionGroupSpec& def : EditorLayout::optionGroups()) {
        // Each group is exclusive by itself, wherever its buttons are placed.
        QRadioButton** buttons = optionButtons(def.id);
        auto* group = new QButtonGroup(this);
        m_optionGroups[size_t(def.id)] = group;
        for (int c = 1; c <= def.choiceCount; ++c) {
            buttons[c] = new QRadioButton(QLatin1String(def.captions[size_t(c - 1)]), this);
            buttons[c]->setObjectName(arrayName(def.name, c));
            group->addButton(buttons[c], c);
        }
        buttons[def.initialChoice]->setChecked(true);
    }
}

void frmMain::buildListFrame()
{
    QGroupBox* list = frame[1];

    grid = new CitationGrid(list);
    grid->setObjectName(QStringLiteral("grid"));
    grid->setAccessibleName(QStringLiteral("Citation list"));
    listModel = new CitationListModel(grid);
    grid->setModel(listModel);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setTabKeyNavigation(false);
    grid->setWordWrap(false);
    grid->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    grid->setCornerButtonEnabled(false);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid->horizontalHeader()->setHighlightSections(false);
    // Column 3 fills the grid's width; the key columns stay out of sight.
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->setColumnHidden(ListColumn::RecNum, true);
    grid->setColumnHidden(ListColumn::DateSort, true);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    showListColumns();

    lblStandBy = new QLabel(QStringLiteral("Sorting-- Please stand by..."), list);
    lblStandBy->setObjectName(QStringLiteral("lblStandBy"));
    lblStandBy->setAlignment(Qt::AlignCenter);
    QFont standByFont = lblStandBy->font();
    standByFont.setBold(true);
    lblStandBy->setFont(standByFont);
    lblStandBy->hide();

    cmdFindEntries = makeButton("cmdFindEntries", list);
    cmdSeeAllEntries = makeButton("cmdSeeAllEntries", list);
    cmdPrintList = makeButton("cmdPrintList", list);
    cmdExportList = makeButton("cmdExportList", list);
    cmdImportList = makeButton("cmdImportList", list);
    cmdStatistics = makeButton("cmdStatistics", list);

    // The sort choice stands under the list buttons, or beside them when the
    // list is too short for both (a small screen).
    m_sortBox = new QWidget(list);
    m_sortBox->setObjectName(QStringLiteral("sortBox"));
    lblSort = new QLabel(QStringLiteral("Sort by..."), m_sortBox);
    lblSort->setObjectName(QStringLiteral("lblSort"));
    auto* sort = column(m_sortBox, 4);
    sort->setContentsMargins(0, 0, 0, 0);
    sort->addWidget(lblSort);
    static const char* const sortCaptions[3] = {"Date", "Citation#", "Offense"};
    for (int i = 0; i < 3; ++i) {
        optSort[size_t(i)] = new QRadioButton(QLatin1String(sortCaptions[i]), m_sortBox);
        optSort[size_t(i)]->setObjectName(arrayName("optSort", i));
        sort->addWidget(optSort[size_t(i)]);
    }
    sort->addStretch(1);
    optSort[0]->setChecked(true);

    m_listSide = new QGridLayout;
    m_listSide->setContentsMargins(0, 0, 0, 0);
    m_listSide->setSpacing(4);
    m_listSide->addWidget(cmdFindEntries, 0, 0);
    m_listSide->addWidget(cmdSeeAllEntries, 1, 0);
    m_listSide->addWidget(cmdPrintList, 2, 0);
    placeSortChoice(false);
    auto* side = m_listSide;

    auto* layout = new QGridLayout(list);
    layout->setContentsMargins(8, 6, 8, 8);
    layout->setHorizontalSpacing(8);
    layout->addWidget(grid, 0, 0);
    layout->addWidget(lblStandBy, 0, 0, Qt::AlignCenter);
    layout->addLayout(side, 0, 1);
    layout->setColumnStretch(0, 1);
}

void frmMain::buildEditorFrame()
{
    QGroupBox* editor = frame[2];

    cmdAddEntry = makeButton("cmdAddEntry", editor);
    cmdAddSave = makeButton("cmdAddSave", editor);
    cmdEditSave = makeButton("cmdEditSave", editor);
    cmdAddCancel = makeButton("cmdAddCancel", editor);
    cmdEditCancel = makeButton("cmdEditCancel", editor);
    cmdEditEntry = makeButton("cmdEditEntry", editor);
    cmdPrintEntry = makeButton("cmdPrintEntry", editor);
    cmdDeleteEntry = makeButton("cmdDeleteEntry", editor);
    cmdCitationHistory = makeButton("cmdCitationHistory", editor);
    cmdHelp = makeButton("cmdHelp", editor);
    cmdAdminWindow = makeButton("cmdAdminWindow", editor);
    cmdBackupRestore = makeButton("cmdBackupRestore", editor);
    cmdQuit = makeButton("cmdQuit", editor);
    cmdHelp->setCaption(QStringLiteral("&Help") + QStringLiteral("\r\n") + QStringLiteral("<F1>"));
    cmdAdminWindow->setCaption(QStringLiteral("Admin") + QStringLiteral("\r\n") + QStringLiteral("&Window"));
    cmdBackupRestore->setCaption(QStringLiteral("Backup /") + QStringLiteral("\r\n") + QStringLiteral("&Restore"));
    cmdQuit->setCaption(QStringLiteral("&Quit"));

    MainTab = new QTabWidget(editor);
    MainTab->setObjectName(QStringLiteral("MainTab"));
    MainTab->setAccessibleName(QStringLiteral("Citation details"));
    MainTab->setUsesScrollButtons(false);
    MainTab->addTab(buildBasicsPage(), QStringLiteral("&Basics"));
    MainTab->addTab(buildDefendantPage(), QStringLiteral("&Defendant"));
    MainTab->addTab(buildVehiclePage(), QStringLiteral("&Vehicle"));
    MainTab->addTab(buildOffensePage(), QStringLiteral("&Offense"));
    MainTab->addTab(buildLocationPage(), QStringLiteral("&Location"));
    MainTab->addTab(buildCourtPage(), QStringLiteral("Cour&t"));
    MainTab->addTab(buildNotesPage(), QStringLiteral("&Notes"));
    MainTab->addTab(buildDefaultsPage(), QStringLiteral("De&faults"));

    lblUserInfo = new QLabel(editor);
    lblUserInfo->setObjectName(QStringLiteral("lblUserInfo"));
    // Two lines, user and access level, never broken further.
    lblUserInfo->setWordWrap(false);
    lblUserInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblUserInfo->setFrameShape(QFrame::StyledPanel);
    lblUserInfo->setMargin(4);

    lblInstructions = new QLabel(editor);
    lblInstructions->setObjectName(QStringLiteral("lblInstructions"));
    lblInstructions->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* buttons = row(4);
    for (VellButton* b : {cmdAddEntry, cmdAddSave, cmdEditSave, cmdAddCancel, cmdEditCancel, cmdEditEntry,
                          cmdPrintEntry, cmdDeleteEntry, cmdCitationHistory})
        buttons->addWidget(b);
    buttons->addStretch(1);
    for (VellButton* b : {cmdHelp, cmdAdminWindow, cmdBackupRestore, cmdQuit})
        buttons->addWidget(b);

    // The side column is wide enough for the access line of every level.
    int accessWidth = 0;
    for (int level = 1; level <= 4; ++level)
        accessWidth = qMax(accessWidth, lblUserInfo->fontMetrics().horizontalAdvance(QStringLiteral("Access: ")
                                                                                     + AccessLevelName(level)));
    const int labelChrome = 2 * (lblUserInfo->margin() + lblUserInfo->frameWidth()) + 4;
    const int sideWidth = qMax(150, accessWidth + labelChrome);
    lblUserInfo->setFixedWidth(sideWidth);
    lblInstructions->setFixedWidth(sideWidth);
    auto* side = column(nullptr, 10);
    side->addWidget(lblUserInfo);
    side->addWidget(lblInstructions);
    side->addStretch(1);

    auto* body = row(8);
    body->addWidget(MainTab, 1);
    body->addLayout(side);

    auto* layout = column(editor, 6);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(buttons);
    layout->addLayout(body);
}

// A text field under its label.
QWidget* frmMain::fieldCell(int index)
{
    auto* cell = new QWidget;
    auto* layout = column(cell, 1);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* label = new QLabel(EditorLayout::fieldLabel(index), cell);
    label->setObjectName(arrayName("lblField", index));
    lblField[size_t(index)] = label;

    auto* box = new QLineEdit(cell);
    box->setObjectName(arrayName("txtField", index));
    const int limit = EditorLayout::inputLimit(index);
    txtField[size_t(index)] = TextBox(box, limit);
    box->setFixedWidth(boxWidth(box, limit));
    label->setBuddy(box);

    layout->addWidget(label);
    layout->addWidget(box, 0, Qt::AlignLeft);
    return cell;
}

QGroupBox* frmMain::optionFrame(int frameIndex, const QString& caption, OptionGroup g, bool across)
{
    QGroupBox* box = frame[size_t(frameIndex)];
    box->setTitle(caption);
    QBoxLayout* layout = across ? static_cast<QBoxLayout*>(new QHBoxLayout(box)) : new QVBoxLayout(box);
    layout->setSpacing(across ? 10 : 2);
    layout->setContentsMargins(8, 4, 8, 6);
    const OptionGroupSpec& def = EditorLayout::optionGroup(g);
    for (int c = 1; c <= def.choiceCount; ++c) {
        QRadioButton* b = optionButton(g, c);
        layout->addWidget(b);
    }
    if (!across)
        layout->addStretch(1);
    return box;
}

QWidget* frmMain::buildBasicsPage()
{
    auto* page = new QWidget;
    auto* top = row();
    for (int i : {1, 2, 3, 4})
        top->addWidget(fieldCell(i));
    top->addStretch(1);

    auto* entered = new QVBoxLayout(frame[3]);
    entered->setContentsMargins(8, 4, 8, 6);
    entered->setSpacing(4);
    entered->addWidget(fieldCell(7));
    entered->addWidget(fieldCell(8));

    auto* officer = row();
    officer->addWidget(fieldCell(5), 0, Qt::AlignTop);
    officer->addWidget(fieldCell(6), 0, Qt::AlignTop);
    officer->addWidget(frame[3]);
    officer->addStretch(1);

    auto* entry = row();
    entry->addWidget(fieldCell(9));
    entry->addWidget(fieldCell(10));
    entry->addStretch(1);

    auto* layout = column(page, 8);
    layout->addLayout(top);
    layout->addLayout(officer);
    layout->addLayout(entry);
    layout->addStretch(1);
    return page;
}

QWidget* frmMain::buildDefendantPage()
{
    auto* page = new QWidget;
    auto* layout = column(page, 8);
    for (const auto& fields : {std::initializer_list<int>{11, 12}, std::initializer_list<int>{13, 14},
                               std::initializer_list<int>{15, 16, 17, 18, 19},
                               std::initializer_list<int>{20, 21, 22, 23}}) {
        auto* r = row();
        for (int i : fields)
            r->addWidget(fieldCell(i));
        r->addStretch(1);
        layout->addLayout(r);
    }
    layout->addStretch(1);
    return page;
}

QWidget* frmMain::buildVehiclePage()
{
    auto* page = new QWidget;
    auto* layout = column(page, 8);
    for (const auto& fields : {std::initializer_list<int>{24, 25, 26, 27}, std::initializer_list<int>{28, 29, 30, 31}}) {
        auto* r = row();
        for (int i : fields)
            r->addWidget(fieldCell(i));
        r->addStretch(1);
        layout->addLayout(r);
    }
    auto* commercial = new QVBoxLayout(frame[4]);
    commercial->setContentsMargins(8, 4, 8, 4);
    commercial->addWidget(chkCommercialVehicle);
    auto* r = row();
    r->addWidget(frame[4]);
    r->addStretch(1);
    layout->addLayout(r);
    layout->addStretch(1);
    return page;
}

QWidget* frmMain::buildOffensePage()
{
    auto* page = new QWidget;

    auto* top = row();
    top->addWidget(fieldCell(32), 0, Qt::AlignTop);
    top->addWidget(fieldCell(33), 0, Qt::AlignTop);
    top->addWidget(optionFrame(5, QStringLiteral(" Law "), OptionGroup::StateLocal, false));
    top->addStretch(1);

    auto* violations = new QVBoxLayout(frame[6]);
    violations->setContentsMargins(4, 6, 4, 6);
    violations->addWidget(chkCommercialViolation);
    violations->addWidget(chkHazMatViolation);
    violations->addWidget(chkAccident);
    violations->addStretch(1);

    auto* speeding = new QGridLayout(frame[7]);
    speeding->setContentsMargins(4, 6, 4, 6);
    speeding->setHorizontalSpacing(6);
    speeding->setVerticalSpacing(4);
    speeding->addWidget(chkSpeeding, 0, 0, 1, 2);
    speeding->addWidget(fieldCell(34), 1, 0);
    speeding->addWidget(fieldCell(35), 2, 0);
    auto* methods = column(nullptr, 2);
    for (int c = 1; c <= 3; ++c)
        methods->addWidget(optSpeeding[size_t(c)]);
    methods->addStretch(1);
    speeding->addLayout(methods, 1, 1, 2, 1);
    speeding->setRowStretch(3, 1);

    auto* impaired = new QVBoxLayout(frame[8]);
    impaired->setContentsMargins(4, 6, 4, 6);
    impaired->addWidget(chkDUI);
    impaired->addWidget(fieldCell(36));
    auto* tests = new QGridLayout;
    tests->setContentsMargins(0, 0, 0, 0);
    tests->setHorizontalSpacing(6);
    tests->setVerticalSpacing(2);
    for (int c = 1; c <= 4; ++c)
        tests->addWidget(optTest[size_t(c)], (c - 1) / 2, (c - 1) % 2);
    impaired->addLayout(tests);
    impaired->addStretch(1);

    // The three frames share a narrow page on a small screen: tight margins
    // keep every caption whole.
    auto* lower = row(4);
    lower->addWidget(frame[6]);
    lower->addWidget(frame[7]);
    lower->addWidget(frame[8]);
    lower->addStretch(1);

    auto* layout = column(page, 8);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(top);
    layout->addLayout(lower);
    layout->addStretch(1);
    return page;
}

QWidget* frmMain::buildLocationPage()
{
    auto* page = new QWidget;
    auto* layout = column(page, 6);
    auto* places = row();
    places->addWidget(fieldCell(37));
    places->addWidget(fieldCell(38));
    places->addStretch(1);
    layout->addLayout(places);
    layout->addWidget(fieldCell(39));
    layout->addWidget(fieldCell(40));

    auto* conditions = row(6);
    conditions->addWidget(optionFrame(9, QStringLiteral(" Weather "), OptionGroup::Weather, false));
    conditions->addWidget(optionFrame(10, QStringLiteral(" Traffic "), OptionGroup::Traffic, false));
    conditions->addWidget(optionFrame(11, QStringLiteral(" Road "), OptionGroup::RoadDry, false));
    conditions->addWidget(optionFrame(12, QStringLiteral(" Type "), OptionGroup::RoadType, false));
    conditions->addWidget(optionFrame(13, QStringLiteral(" Lighting "), OptionGroup::Lighting, false));
    conditions->addStretch(1);
    layout->addLayout(conditions);
    layout->addStretch(1);
    return page;
}

QWidget* frmMain::buildCourtPage()
{
    auto* page = new QWidget;
    auto* top = row();
    for (int i : {41, 42, 43})
        top->addWidget(fieldCell(i));
    top->addStretch(1);

    auto* outcome = row();
    outcome->addWidget(fieldCell(44));
    outcome->addWidget(fieldCell(45));
    outcome->addStretch(1);
    auto* left = column(nullptr, 6);
    left->addWidget(fieldCell(46));
    left->addWidget(fieldCell(47));
    left->addStretch(1);

    // The frame stands beside the sentence and comments, as high as they or
    // higher, so it reads as the column after them.
    auto* lower = row();
    lower->addLayout(left);
    lower->addWidget(optionFrame(14, QStringLiteral(" Scene Disposition "), OptionGroup::SceneDisposition, false));
    lower->addStretch(1);

    auto* layout = column(page, 6);
    layout->addLayout(top);
    layout->addLayout(outcome);
    layout->addLayout(lower);
    layout->addStretch(1);
    return page;
}

QWidget* frmMain::buildNotesPage()
{
    auto* page = new QWidget;
    auto* label = new QLabel(EditorLayout::fieldLabel(NotesField), page);
    label->setObjectName(arrayName("lblField", NotesField));
    lblField[NotesField] = label;

    auto* notes = new QPlainTextEdit(page);
    notes->setObjectName(arrayName("txtField", NotesField));
    notes->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    notes->setTabChangesFocus(true);
    txtField[NotesField] = TextBox(notes, EditorLayout::inputLimit(NotesField));
    label->setBuddy(notes);

    lblSpaceFull = new QLabel(page);
    lblSpaceFull->setObjectName(QStringLiteral("lblSpaceFull"));
    lblSpaceFull->setFrameShape(QFrame::StyledPanel);
    lblSpaceFull->hide();

    auto* foot = row();
    foot->addStretch(1);
    foot->addWidget(lblSpaceFull);

    auto* layout = column(page, 4);
    layout->addWidget(label);
    layout->addWidget(notes, 1);
    layout->addLayout(foot);
    return page;
}

QWidget* frmMain::buildDefaultsPage()
{
    auto* page = new QWidget;
    lblDefaultInstructions = new QLabel(page);
    lblDefaultInstructions->setObjectName(QStringLiteral("lblDefaultInstructions"));
    lblDefaultInstructions->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    static const char* const captions[6] = {
        "",
        "  Default 'NCIC Number' (in the <Basics> Tab)",
        "  Default 'Entered by' (in the <Basics> Tab)",
        "  Default 'County' (in the <Location> Tab)",
        "  Default 'City' (in the <Location> Tab)",
        "  Default 'Name of Court' (in the <Court> Tab)",
    };
    static const int limits[6] = {0, 16, 30, 25, 25, 40};
    QGroupBox* defaults = frame[15];
    defaults->setTitle(QStringLiteral(" Default Values "));
    auto* boxes = new QVBoxLayout(defaults);
    boxes->setContentsMargins(8, 4, 8, 6);
    boxes->setSpacing(1);
    for (int i = 1; i <= 5; ++i) {
        auto* label = new QLabel(QLatin1String(captions[i]), defaults);
        label->setObjectName(arrayName("lblDefault", i));
        auto* box = new QLineEdit(defaults);
        box->setObjectName(arrayName("txtDefault", i));
        box->setMaxLength(limits[i]);
        box->setFixedWidth(boxWidth(box, limits[i]));
        label->setBuddy(box);
        lblDefault[size_t(i)] = label;
        txtDefault[size_t(i)] = box;
        if (i > 1)
            boxes->addSpacing(5);
        boxes->addWidget(label);
        boxes->addWidget(box);
    }
    boxes->addStretch(1);

    auto* layout = new QHBoxLayout(page);
    layout->setSpacing(16);
    layout->addWidget(lblDefaultInstructions);
    layout->addWidget(defaults, 0, Qt::AlignTop);
    layout->addStretch(1);
    return page;
}

void frmMain::placeFrames()
{
    int heightTwips = DesignHeightTwips;
    if (ScreenHeightTwips() > DesignHeightTwips)
        heightTwips = int(std::floor(ScreenHeightTwips() / ScreenShare));
    // The editor keeps the height its pages need, measured once while every
    // part of it counts (the pages are hidden while there is no citation).
    frame[2]->adjustSize();
    m_editorHeight = frame[2]->sizeHint().height();
    // The sizes are the window's outer sizes; on a small screen the window is
    // cut to the available area and the list gives up the height. The size it
    // opens with, or the designed size where that is smaller, is also the
    // least the user can make it, as long as the editor and a few rows fit.
    const QSize designed = FittedClientSize(this, QSize(TwipsToPixels(WindowWidthTwips), TwipsToPixels(DesignHeightTwips)));
    PlaceOnScreen(this, QSize(TwipsToPixels(WindowWidthTwips), TwipsToPixels(heightTwips)), [this, designed](QSize inside) {
        m_smallest = designed.boundedTo(inside).expandedTo(QSize(0, m_editorHeight + MinimumListHeight + 3 * Margin));
        setMinimumSize(m_smallest);
        resize(inside.expandedTo(m_smallest));
        layOutFrames(size());
    });
    RememberWindowPlacement(this);
}

void frmMain::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_editorHeight > 0)
        layOutFrames(size());
    if (m_lockBox)
        m_lockBox->setGeometry(rect());
    placeServerNotice();
}

void frmMain::layOutFrames(QSize inside)
{
    const int width = inside.width() - 2 * Margin;
    if (Adding) {
        // The list is hidden and the editor stands in its place.
        frame[2]->setGeometry(Margin, Margin, width, m_editorHeight);
        return;
    }
    // The list takes what the editor leaves, down to a few rows; the editor
    // keeps its height at the foot of the window.
    const int listHeight = qMax(MinimumListHeight, inside.height() - m_editorHeight - 3 * Margin);
    // Every list button may show at once (See All while a sub-list is shown);
    // when they and the sort choice do not fit one above the other, the
    // choice moves beside them.
    const QMargins margins = frame[1]->layout()->contentsMargins();
    const int titleRoom = frame[1]->fontMetrics().height() + 4;
    const int stacked = 6 * ButtonHeight + 6 * m_listSide->verticalSpacing() + m_sortBox->sizeHint().height();
    const bool beside = stacked + margins.top() + margins.bottom() + titleRoom > listHeight;
    if (beside != m_sortBeside)
        placeSortChoice(beside);
    frame[1]->setGeometry(Margin, Margin, width, listHeight);
    frame[2]->setGeometry(Margin, 2 * Margin + listHeight, width, m_editorHeight);
}

void frmMain::placeSortChoice(bool beside)
{
    // A tall list has its buttons in one column with the sort choice under
    // them. A short one has the export beside the print and the statistics
    // beside the search, and the sort choice beside them all.
    for (QWidget* w : {static_cast<QWidget*>(cmdExportList), static_cast<QWidget*>(cmdImportList),
                       static_cast<QWidget*>(cmdStatistics), m_sortBox})
        m_listSide->removeWidget(w);
    for (int r = 0; r < 8; ++r)
        m_listSide->setRowStretch(r, 0);
    if (beside) {
        m_listSide->addWidget(cmdStatistics, 0, 1);
        m_listSide->addWidget(cmdExportList, 2, 1);
        m_listSide->addWidget(cmdImportList, 1, 1);
        m_listSide->addWidget(m_sortBox, 0, 2, 4, 1);
        m_listSide->setRowStretch(3, 1);
    } else {
        m_listSide->addWidget(cmdExportList, 3, 0);
        m_listSide->addWidget(cmdImportList, 4, 0);
        m_listSide->addWidget(cmdStatistics, 5, 0);
        m_listSide->addWidget(m_sortBox, 6, 0);
        m_listSide->setRowStretch(7, 1);
    }
    m_sortBeside = beside;
    orderListButtons();
}

void frmMain::orderListButtons()
{
    // Tab follows the buttons as they stand: row by row.
    const QList<QWidget*> chain = m_sortBeside
        ? QList<QWidget*>{cmdFindEntries, cmdStatistics, cmdSeeAllEntries, cmdImportList, cmdPrintList, cmdExportList,
                          optSort[0]}
        : QList<QWidget*>{cmdFindEntries, cmdSeeAllEntries, cmdPrintList, cmdExportList, cmdImportList, cmdStatistics,
                          optSort[0]};
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void frmMain::showListColumns()
{
    static const int widthsTwips[ListColumn::Visible] = {1150, 1600, 2350, 4200};
    for (int c = 0; c < ListColumn::Visible; ++c)
        grid->setColumnWidth(c, TwipsToPixels(widthsTwips[c]));
}
