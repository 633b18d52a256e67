// The program's real message and input boxes: each is wide enough for its
// whole caption in the title bar, beside the window icon and the title-bar
// buttons, however short its text.
#include "platform/Messages.h"

#include <QApplication>
#include <QFontMetrics>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

namespace {

// The width a caption needs in a title bar: the caption in bold, and room for
// the window icon and the minimise, maximise and close buttons as wide as the
// widest common desktops draw them (three 46-pixel buttons and a 30-pixel
// icon at 96 dpi).
int captionNeeds(const QString& caption, const QWidget* window)
{
    QFont bold = window->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    const double scale = window->logicalDpiX() / 96.0;
    return metrics.horizontalAdvance(caption) + int((3 * 46 + 30) * scale);
}

struct Seen {
    QString title;
    int width = 0;
    int needs = 0;
};

// Answers the modal box once one shows, noting its title and width; looks
// again every 10 ms until then. A plain function, so no callback keeps
// itself alive.
void answerBoxWhenShown(Seen* seen)
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) {
        QTimer::singleShot(10, [seen] { answerBoxWhenShown(seen); });
        return;
    }
    *seen = {modal->windowTitle(), modal->width(), captionNeeds(modal->windowTitle(), modal)};
    if (auto* box = qobject_cast<QMessageBox*>(modal))
        box->defaultButton() ? box->defaultButton()->click() : box->buttons().first()->click();
    else if (auto* input = qobject_cast<QInputDialog*>(modal))
        input->reject();
}

// Answers the next modal box, noting its title and width.
void answerNextBox(Seen& seen)
{
    QTimer::singleShot(0, [&seen] { answerBoxWhenShown(&seen); });
}

} // namespace

class tst_MessageBoxes : public QObject {
    Q_OBJECT
private slots:
    void boxesAreWideEnoughForTheirCaptions();
    void inputBoxIsWideEnoughForItsTitle();
};

void tst_MessageBoxes::boxesAreWideEnoughForTheirCaptions()
{
    struct Box {
        QString text, caption;
        int flags;
    };
    const QList<Box> boxes = {
        {"Your default data fields\r\nhave been updated.\r\n\r\nDo you want to keep the\r\nupdated default data fields?",
         "Save Current Defaults?", Msg::YesNo | Msg::Question},
        {"There are currently no 'Users'\r\nentered in the 'User List'", "'User List' Empty",
         Msg::OKOnly | Msg::Information},
        {"Sorry, but you have not entered\r\nthe correct Access Code.", "Incorrect Access Code",
         Msg::OKOnly | Msg::Critical},
        {"The name has been removed\r\nfrom the 'User List'.", "Name removed", Msg::OKOnly | Msg::Information},
        {"Done.", "A caption much longer than the text of its box", Msg::OKOnly},
    };
    for (const Box& b : boxes) {
        Seen seen;
        answerNextBox(seen);
        MsgBox(b.text, b.flags, b.caption);
        QCOMPARE(seen.title, b.caption);
        QVERIFY2(seen.width >= seen.needs,
                 qPrintable(QString("\"%1\": %2 px wide, needs %3").arg(b.caption).arg(seen.width).arg(seen.needs)));
    }
}

void tst_MessageBoxes::inputBoxIsWideEnoughForItsTitle()
{
    Seen seen;
    answerNextBox(seen);
    const QString answer = InputBox("\r\nPlease enter the access code\r\nneeded to add/edit/delete\r\nusers in this 'User List'",
                                    "Access Code Required", "<Enter Access Code Here>");
    QCOMPARE(answer, QString()); // cancelled
    QCOMPARE(seen.title, QString("Access Code Required"));
    QVERIFY2(seen.width >= seen.needs, qPrintable(QString("%1 px wide, needs %2").arg(seen.width).arg(seen.needs)));
}

QTEST_MAIN(tst_MessageBoxes)
#include "tst_messageboxes.moc"
