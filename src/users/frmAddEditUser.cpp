#include "users/frmAddEditUser.h"

#include "session/ProcessState.h"
#include "session/Utilities.h"
#include "platform/Clock.h"
#include "platform/Messages.h"
#include "platform/Screen.h"
#include "store/AnsiText.h"
#include "store/DateValue.h"
#include "storage/AuditEvents.h"
#include "storage/AuditStore.h"
#include "users/Passwords.h"
#include "storage/Storage.h"
#include "users/UserMessages.h"
#include "users/UserWindowArt.h"
#include "widgets/TextBox.h"
#include "widgets/OptionTabStop.h"
#include "widgets/StrayAltKeys.h"
#include "widgets/VellButton.h"
#include "widgets/WindowPlacement.h"
#include "widgets/modFadeInOut.h"

#include <QFocusEvent>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTimer>
#include <cmath>

const QString frmAddEditUser::PasswordHint = QStringLiteral("<4 to 8 chars only>");

namespace {

int tw(double twips) { return TwipsToPixels(twips); }

const QColor Cyan(0, 255, 255);       // &HFFFF00: a box without the focus
const QColor Yellow(255, 255, 0);     // &H00FFFF: a box with the focus, adding
const QColor LightPink(255, 192, 255); // &HFFC0FF: a box with the focus, viewing/editing
const QColor Navy(0, 0, 128);         // &H800000
const QColor DarkNavy(0, 0, 64);      // &H400000

void setBoxColour(QWidget* box, const QColor& back)
{
    QPalette pal = box->palette();
    pal.setColor(QPalette::Base, back);
    pal.setColor(QPalette::Text, Navy);
    box->setPalette(pal);
}

// The comments as stored: line breaks as CR LF.
QString storedComments(const QPlainTextEdit* box)
{
    QString text = box->toPlainText();
    text.replace(u'\n', QLatin1String("\r\n"));
    return text;
}

// What the user calls each text box, for messages about it.
QString boxName(int index)
{
    switch (index) {
    case 1: return QStringLiteral("'First Name'");
    case 2: return QStringLiteral("'Last Name'");
    case 3: return QStringLiteral("'Password'");
    default: return QStringLiteral("'Comments'");
    }
}

} // namespace

frmAddEditUser::frmAddEditUser(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAddEditUser"));
    fader = new Fader(this);
    fader->closeAction = [this] { Unload(); };
    SetFadeFlag(PrepareFade(this, 0, false));
    setFixedSize(tw(6100), tw(5730));
    RememberWindowPlacement(this);
    m_background = UserWindowsBackgroundTile();

    const QString labelStyle = QStringLiteral("QLabel { color: %1; font-weight: bold; }");
    const QString mandatoryStyle = labelStyle.arg(QStringLiteral("rgb(192, 0, 0)"));
    const char* const captions[5] = {"* Access Level", "* First Name", "* Last Name", "* Password", " Comments"};
    const int maxLengths[4] = {0, 15, 20, 19};
    for (int i = 0; i <= 4; ++i) {
        lblField[i] = new QLabel(QString::fromLatin1(captions[i]), this);
        lblField[i]->setObjectName(QStringLiteral("lblField(%1)").arg(i));
        lblField[i]->setStyleSheet(i == 4 ? labelStyle.arg(QStringLiteral("rgb(0, 0, 64)")) : mandatoryStyle);
    }
    for (int i = 1; i <= 3; ++i) {
        txtField[i] = new QLineEdit(this);
        txtField[i]->setObjectName(QStringLiteral("txtField(%1)").arg(i));
        txtField[i]->setMaxLength(maxLengths[i]);
        lblField[i]->setBuddy(txtField[i]);
        const int top = tw(150 + (i - 1) * 690);
        lblField[i]->setGeometry(tw(180), top, tw(3000), tw(255));
        txtField[i]->setGeometry(tw(180), top + tw(270), tw(3000), tw(330));
    }
    // The password is masked; "Show" lets the administrator read it back. The
    // hint of an empty box always reads in clear.
    chkShowPassword = new QCheckBox(QStringLiteral("Show"), this);
    chkShowPassword->setObjectName(QStringLiteral("chkShowPassword"));
    chkShowPassword->setStyleSheet(QStringLiteral("QCheckBox { color: rgb(0, 0, 64); font-weight: bold; }"));
    chkShowPassword->setGeometry(tw(2280), txtField[3]->y() - tw(285), tw(900), tw(255));
    chkShowPassword->setAccessibleName(QStringLiteral("Show the password"));
    connect(chkShowPassword, &QCheckBox::toggled, this, &frmAddEditUser::ShowPasswordAsTyped);
    connect(txtField[3], &QLineEdit::textChanged, this, &frmAddEditUser::ShowPasswordAsTyped);
    ShowPasswordAsTyped();
    txtComments = new QPlainTextEdit(this);
    txtComments->setObjectName(QStringLiteral("txtField(4)"));
    txtComments->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtComments->setTabChangesFocus(true);
    // Typing or pasting into full comments is refused, so nothing already
    // there is lost; a line break counts two, as it is stored as CR LF.
    LimitMultiLineInput(txtComments, CommentsLimit);
    lblField[4]->setBuddy(txtComments);
    lblField[4]->setGeometry(tw(180), tw(2250), tw(1500), tw(255));
    txtComments->setGeometry(tw(180), tw(2520), tw(5640), tw(1680));
    for (QWidget* w : {static_cast<QWidget*>(txtField[1]), static_cast<QWidget*>(txtField[2]),
                       static_cast<QWidget*>(txtField[3]), static_cast<QWidget*>(txtComments)}) {
        setBoxColour(w, Cyan);
        w->installEventFilter(this);
    }

    lblSpaceFull = new QLabel(this);
    lblSpaceFull->setObjectName(QStringLiteral("lblSpaceFull"));
    lblSpaceFull->setStyleSheet(QStringLiteral("QLabel { color: rgb(0, 0, 128); background: rgb(255, 255, 225);"
                                               " border: 1px solid rgb(0, 0, 128); }"));
    lblSpaceFull->setGeometry(tw(4500), tw(2235), tw(1320), tw(270));
    lblSpaceFull->setAlignment(Qt::AlignCenter);
    lblSpaceFull->hide();

    lblField[0]->setGeometry(tw(3600), tw(150), tw(2200), tw(255));
    for (int k = 1; k <= 4; ++k) {
        optAccessLevel[k] = new QRadioButton(this);
        optAccessLevel[k]->setObjectName(QStringLiteral("optAccessLevel(%1)").arg(k));
        optAccessLevel[k]->setGeometry(tw(3660), tw(420 + (k - 1) * 360), tw(2300), tw(330));
        // A change of level, by mouse, Space or arrow key; choosing the level
        // already chosen changes nothing.
        connect(optAccessLevel[k], &QRadioButton::toggled, this, [this, k](bool on) {
            if (on)
                optAccessLevel_Click(k);
        });
    }

    lblDateCreated = new QLabel(this);
    lblDateCreated->setObjectName(QStringLiteral("lblDateCreated"));
    lblDateCreated->setStyleSheet(QStringLiteral("QLabel { color: rgb(0, 0, 64); }"));
    lblDateCreated->setWordWrap(true);
    lblDateCreated->setGeometry(tw(180), tw(4350), tw(2520), tw(480));

    lblMandatory = new QLabel(QStringLiteral("* (Mandatory Entry)"), this);
    lblMandatory->setObjectName(QStringLiteral("lblMandatory"));
    lblMandatory->setStyleSheet(mandatoryStyle);
    lblMandatory->setGeometry(tw(180), tw(4920), tw(2400), tw(255));

    cmdSave = new VellButton(QStringLiteral("cmdSave"), this);
    cmdSave->setGeometry(tw(2820), tw(4380), tw(1440), tw(660));
    cmdCancel = new VellButton(QStringLiteral("cmdCancel"), this);
    cmdCancel->setGeometry(tw(4380), tw(4380), tw(1440), tw(660));
    for (VellButton* b : {cmdSave, cmdCancel}) {
        b->setBackColor(QColor(232, 238, 247));
        b->setBackOver(QColor(255, 241, 196));
        b->setForeColor(Qt::black);
        b->setForeOver(Navy);
    }
    connect(cmdSave, &VellButton::Click, this, &frmAddEditUser::cmdSave_Click);
    connect(cmdCancel, &VellButton::Click, this, &frmAddEditUser::cmdCancel_Click);

    for (int i = 1; i <= 3; ++i)
        connect(txtField[i], &QLineEdit::textChanged, this, [this, i] { txtField_Change(i); });
    connect(txtComments, &QPlainTextEdit::textChanged, this, [this] { txtField_Change(4); });

    // The names, then the level beside them, then what lies below. Tab enters
    // the levels at the user's level, so a Space there changes nothing.
    const QList<QWidget*> chain{txtField[1], txtField[2], txtField[3], chkShowPassword, optAccessLevel[1], optAccessLevel[2],
                                optAccessLevel[3], optAccessLevel[4], txtComments, cmdSave, cmdCancel};
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
    KeepOptionTabStop({optAccessLevel[1], optAccessLevel[2], optAccessLevel[3], optAccessLevel[4]});
    KeepAltKeysOutOfText(this);
}

void frmAddEditUser::ShowPasswordAsTyped()
{
    const bool clear = chkShowPassword->isChecked() || txtField[3]->text() == PasswordHint;
    txtField[3]->setEchoMode(clear ? QLineEdit::Normal : QLineEdit::Password);
}

QWidget* frmAddEditUser::box(int index) const
{
    return index == 4 ? static_cast<QWidget*>(txtComments) : static_cast<QWidget*>(txtField[index]);
}

QString frmAddEditUser::fieldText(int index) const
{
    return index == 4 ? storedComments(txtComments) : txtField[index]->text();
}

void frmAddEditUser::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    TileBackground(painter, m_background, width(), height());
}

void frmAddEditUser::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_activated)
        Form_Activate();
}

void frmAddEditUser::Form_Activate()
{
    m_addMode = Tag != QLatin1String("View/Edit this User");
    setWindowTitle(ApplicationTitle() + QStringLiteral(" - ") + Tag);
    for (int k = 1; k <= 4; ++k)
        optAccessLevel[k]->setText(AccessLevelName(k));
    FitAccessLevelOptions();

    if (m_addMode) {
        QList<StoredUser> users;
        FileError error;
        const bool counted = storage().users().list(users, error);
        const int count = int(users.size());
        if (!counted)
            ShowFileError(error);
        m_recordNumber = qint16(count + 1);
        cmdSave->setCaption(QStringLiteral("&Save") + CRLF + QStringLiteral("New Entry"));
        cmdSave->setEnabled(false);
        cmdCancel->setCaption(QStringLiteral("&Cancel") + CRLF + QStringLiteral("New Entry"));
        // The first user of an installation administers it: he starts with
        // every function; later users start with the least.
        const int level = counted && count == 0 ? 4 : 1;
        optAccessLevel[level]->setChecked(true);
        optAccessLevel_Click(level);
    } else {
        m_recordNumber = qint16(SelectedRecordNumber);
        cmdSave->setCaption(QStringLiteral("&Save") + CRLF + QStringLiteral("Changes"));
        cmdSave->hide();
        cmdCancel->setCaption(QStringLiteral("&Finished") + CRLF + QStringLiteral("Viewing"));
        UserRecord user;
        FileError error;
        if (!storage().users().read(m_recordNumber, user, error)) {
            ShowFileError(error);
            // Nothing to view: the dialog closes as it opened.
            QTimer::singleShot(0, this, [this] { Unload(); });
        } else {
            lblDateCreated->setText(QStringLiteral(" Record Created ")
                                    + FormatDateValue(user.DateCreated(), NumericDatePattern() + QStringLiteral(" hh:mmam/pm ")));
            lblDateCreated->show();
            const int level = user.AccessLevel();
            if (level >= 1 && level <= 4) {
                optAccessLevel[level]->setChecked(true);
                optAccessLevel_Click(level);
            }
            txtField[1]->setText(user.FirstName());
            txtField[2]->setText(user.LastName());
            txtField[3]->setText(UnscramblePassword(user.Password()));
            txtComments->setPlainText(QString(user.Comments()).replace(QLatin1String("\r\n"), QLatin1String("\n")));
        }
    }
    cmdSave->Refresh();
    cmdCancel->Refresh();
    m_activated = true;
    txtField[1]->setFocus();
    if (FadeFlag())
        fader->StartFade(0, 255, 20, false);
}

bool frmAddEditUser::eventFilter(QObject* watched, QEvent* event)
{
    for (int i = 1; i <= 4; ++i) {
        if (watched != box(i))
            continue;
        if (event->type() == QEvent::FocusIn)
            txtField_GotFocus(i);
        else if (event->type() == QEvent::FocusOut)
            txtField_LostFocus(i);
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void frmAddEditUser::txtField_GotFocus(int index)
{
    setBoxColour(box(index), m_addMode ? Yellow : LightPink);
    if (index == 3 && txtField[3]->text().isEmpty())
        txtField[3]->setText(PasswordHint);
    // Typing replaces the whole entry. A mouse click places the cursor after
    // the focus arrives, so select again once it has.
    auto selectAll = [this, index] {
        if (index == 4)
            txtComments->selectAll();
        else
            txtField[index]->selectAll();
    };
    selectAll();
    QTimer::singleShot(0, this, selectAll);
}

void frmAddEditUser::txtField_LostFocus(int index) { setBoxColour(box(index), Cyan); }

bool frmAddEditUser::MandatoryEntriesMade() const
{
    for (int i = 1; i <= 3; ++i)
        if (Ansi::trimSpaces(txtField[i]->text()).isEmpty())
            return false;
    return true;
}

void frmAddEditUser::ShowChangeMade()
{
    if (cmdSave->isVisibleTo(this)) {
        cmdSave->setEnabled(MandatoryEntriesMade());
    } else if (MandatoryEntriesMade()) {
        cmdSave->setEnabled(true);
        cmdSave->show();
    }
    if (!m_addMode)
        cmdCancel->setCaption(QStringLiteral("&Cancel") + CRLF + QStringLiteral("Changes"));
}

void frmAddEditUser::txtField_Change(int index)
{
    if (index == 4)
        UpdateSpaceFull();
    if (m_activated)
        ShowChangeMade();
}

void frmAddEditUser::UpdateSpaceFull()
{
    const qsizetype length = storedComments(txtComments).size();
    if (length == 0) {
        lblSpaceFull->hide();
        return;
    }
    const double fraction = Larger(double(length) / CommentsLimit, 0.01);
    lblSpaceFull->setText(QStringLiteral(" %1% full ").arg(std::lround(fraction * 100)));
    lblSpaceFull->show();
}

void frmAddEditUser::FitAccessLevelOptions()
{
    // The chosen level shows in bold, so each option is as wide as its bold
    // caption needs; where the column is too narrow the options move left
    // into the free space beside the text boxes, never past the dialog's edge.
    int needed = 0;
    for (int k = 1; k <= 4; ++k) {
        QRadioButton* option = optAccessLevel[k];
        const QFont plain = option->font();
        QFont bold = plain;
        bold.setBold(true);
        option->setFont(bold);
        needed = qMax(needed, option->sizeHint().width());
        option->setFont(plain);
    }
    const int margin = tw(60);
    const int width = qMax(tw(2300), needed);
    const int left = qMax(txtField[1]->geometry().right() + margin, qMin(tw(3660), this->width() - margin - width));
    for (int k = 1; k <= 4; ++k) {
        QRadioButton* option = optAccessLevel[k];
        option->setGeometry(left, option->y(), qMin(width, this->width() - left), option->height());
    }
    lblField[0]->move(left - tw(60), lblField[0]->y()); // the heading stays over its options
}

void frmAddEditUser::optAccessLevel_Click(int level)
{
    m_level = qint16(level);
    for (int k = 1; k <= 4; ++k) {
        QPalette pal = optAccessLevel[k]->palette();
        pal.setColor(QPalette::WindowText, k == level ? DarkNavy : Navy);
        optAccessLevel[k]->setPalette(pal);
        QFont f = optAccessLevel[k]->font();
        f.setBold(k == level);
        optAccessLevel[k]->setFont(f);
    }
    if (m_activated && !m_addMode)
        ShowChangeMade();
}

void frmAddEditUser::cmdSave_Click()
{
    if (!IsValidPassword(txtField[3]->text())) {
        MsgBox(QStringLiteral("The password must be") + CRLF + QStringLiteral("4 to 8 characters, using") + CRLF
                   + QStringLiteral("letters and numbers only."),
               Msg::OKOnly | Msg::Exclamation, QStringLiteral("Invalid Password Entry"));
        txtField[3]->setFocus();
        return;
    }
    // The list holds Windows-1252 text: a character outside it would come
    // back as "?", so it is refused here with the entry left as typed.
    for (int i : {1, 2, 4}) {
        const QString text = fieldText(i);
        const int at = Ansi::firstUnencodable(text);
        if (at < 0)
            continue;
        const QString character = text.at(at).isHighSurrogate() ? text.mid(at, 2) : text.mid(at, 1);
        MsgBox(QStringLiteral("The ") + boxName(i) + QStringLiteral(" entry holds the character \"") + character
                   + QStringLiteral("\",") + CRLF + QStringLiteral("which cannot be stored.") + CRLF + CRLF
                   + QStringLiteral("Please replace it."),
               Msg::OKOnly | Msg::Exclamation, QStringLiteral("Invalid Character"));
        box(i)->setFocus();
        return;
    }

    UserRecord user;
    FileError error;
    if (m_addMode) {
        user.setDateCreated(ToDateValue(Now()));
    } else if (!storage().users().read(m_recordNumber, user, error)) {
        ShowFileError(error);
        return;
    }
    const UserRecord before = user;
    user.setFirstName(Ansi::trimSpaces(txtField[1]->text()));
    user.setLastName(Ansi::trimSpaces(txtField[2]->text()));
    user.setPassword(ScramblePassword(txtField[3]->text()));
    user.setAccessLevel(m_level);
    user.setComments(Ansi::trimSpaces(fieldText(4)));
    // A new user goes after the last one, even if the list grew meanwhile.
    UserKey key = m_recordNumber;
    // The trail names a new password only as changed, never what it is.
    const AuditEntry entry = m_addMode
        ? AuditEvents::userAdded(user)
        : AuditEvents::userChanged(before, user, txtField[3]->text().trimmed() != UnscramblePassword(before.Password()));
    const bool written = RunAuditedChange(entry, error, [&](FileError& e) {
        return m_addMode ? storage().users().add(user, key, e) : storage().users().save(key, user, e);
    });
    if (!written) {
        ShowFileError(error);
        return;
    }
    m_recordNumber = qint16(key);
    SavedUser = user;

    m_saved = true;
    if (UpdateTagButton)
        UpdateTagButton->Tag = QStringLiteral("Update");
    cmdCancel_Click();
}

void frmAddEditUser::cmdCancel_Click()
{
    if (FadeFlag())
        fader->StartFade(255, 0, 20, true);
    else
        Unload();
}

void frmAddEditUser::Unload() { done(m_saved ? QDialog::Accepted : QDialog::Rejected); }
