// The audit trail viewer over a store that records what it is asked and
// answers with made-up entries, and once over a real trail: what it reads
// to open, the filters the boxes make under US, British and German dates,
// the details of an entry, keyboard access.
#include "DataFiles.h"
#include "Doubles.h"
#include "session/ProcessState.h"
#include "storage/AuditEvents.h"
#include "storage/FolderAuditStore.h"
#include "users/frmAuditLog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

class tst_AuditLog : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void opensOnTheNewestPageOnly();
    void filterBoxesMakeTheFilter_data();
    void filterBoxesMakeTheFilter();
    void unreadableDateIsNamed();
    void citationHistoryFromARealTrail();
};

namespace {

// Answers every read with `total` entries numbered down from `total`, and
// keeps each request.
class RecordingAuditStore final : public AuditStore {
public:
    struct Request {
        AuditFilter filter;
        qint64 first;
        int count;
    };
    QList<Request> requests;
    qint64 total = 1000000;

    bool append(AuditEntry&, FileError&) override { return false; }
    bool withdraw(qint64, FileError&) override { return false; }
    AuditVerdict verify() override { return {}; }
    bool read(const AuditFilter& filter, qint64 first, int count, QList<AuditEntry>& entries, qint64& all,
              FileError&) override
    {
        requests << Request{filter, first, count};
        all = total;
        entries.clear();
        for (qint64 i = first; i < qMin(total, first + count); ++i) {
            AuditEntry e;
            e.number = total - i;
            e.time = QDateTime(QDate(2026, 3, 7), QTime(14, 5, 9), Qt::OffsetFromUTC, -5 * 3600);
            e.user = QStringLiteral("Jane Doe");
            e.level = 4;
            e.action = AuditAction::CitationEdited;
            e.citation = QStringLiteral("N-%1").arg(e.number);
            e.details = {{"changes", QJsonArray{QJsonObject{{"field", "DefendantName"}, {"old", "J\u00d6RG"}, {"new", "JORGE"}}}}};
            entries << e;
        }
        return true;
    }
};

} // namespace

void tst_AuditLog::initTestCase() { InitialiseProcessState(); }

void tst_AuditLog::opensOnTheNewestPageOnly()
{
    RecordingAuditStore store;
    frmAuditLog w(store);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.windowTitle(), QStringLiteral("Sennet - Audit Trail"));
    // Only the pages on screen are read, whatever the trail's size.
    QVERIFY(!store.requests.isEmpty());
    for (const auto& r : store.requests)
        QVERIFY(r.first < 2 * AuditLogModel::PageSize && r.filter.isEmpty());
    QCOMPARE(w.grid->model()->rowCount(), 1000000);
    QCOMPARE(w.lblCount->text(), QStringLiteral("1,000,000 entries, newest first"));
    QCOMPARE(w.grid->model()->index(0, AuditLogModel::Number).data().toString(), QStringLiteral("1000000"));
    QCOMPARE(w.grid->model()->index(0, AuditLogModel::Time).data().toString(), QStringLiteral("03/07/2026 14:05:09"));
    QVERIFY(w.txtDetails->toPlainText().contains(QString::fromUtf8("  DefendantName: \"J\u00d6RG\" -> \"JORGE\"")));
    QVERIFY(w.txtDetails->toPlainText().contains("When: 03/07/2026 14:05:09 local time (UTC-05:00), 03/07/2026 19:05:09 UTC"));
    // The keyboard reaches the last entry; only its page is read.
    store.requests.clear();
    QTest::keyClick(w.grid, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(w.grid->currentIndex().row(), 999999);
    QVERIFY(w.txtDetails->toPlainText().startsWith("Entry 1: Citation edited"));
    for (const auto& r : store.requests)
        QVERIFY(r.first >= 999999 - 3 * AuditLogModel::PageSize);
    // Access keys reach the filters.
    QTest::keyClick(&w, Qt::Key_I, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), w.txtCitation);
}

void tst_AuditLog::filterBoxesMakeTheFilter_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::newRow("US") << "en_US" << "01/05/2026" << "2/3/26";
    QTest::newRow("British") << "en_GB" << "05/01/2026" << "3/2/26";
    QTest::newRow("German") << "de_DE" << "05.01.2026" << "3.2.26";
    QTest::newRow("month names") << "de_DE" << "Jan 5 2026" << "2026-02-03";
}

void tst_AuditLog::filterBoxesMakeTheFilter()
{
    QFETCH(QString, locale);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QLocale::setDefault(QLocale(locale));
    RecordingAuditStore store;
    store.total = 3;
    frmAuditLog w(store);
    QTest::keyClicks(w.txtFrom, from);
    QTest::keyClicks(w.txtTo, to);
    w.txtUser->setText(QString::fromUtf8("  \u00c9lodie Br\u00fcckner "));
    QTest::keyClicks(w.txtCitation, " a-77 ");
    w.cboAction->setCurrentIndex(w.cboAction->findText("Citation deleted"));
    store.requests.clear();
    QTest::mouseClick(w.cmdFilter, Qt::LeftButton);
    QLocale::setDefault(QLocale::c());
    QVERIFY(!store.requests.isEmpty());
    const AuditFilter f = store.requests.first().filter;
    QCOMPARE(f.from, QDate(2026, 1, 5));
    QCOMPARE(f.to, QDate(2026, 2, 3));
    QCOMPARE(f.user, QString::fromUtf8("\u00c9lodie Br\u00fcckner"));
    QCOMPARE(f.citation, QStringLiteral("a-77"));
    QVERIFY(f.action == AuditAction::CitationDeleted);
    QCOMPARE(w.lblCount->text(), QStringLiteral("3 matching entries, newest first"));
    store.requests.clear();
    QTest::mouseClick(w.cmdClear, Qt::LeftButton);
    QVERIFY(store.requests.first().filter.isEmpty() && w.txtFrom->text().isEmpty());
}

void tst_AuditLog::unreadableDateIsNamed()
{
    ScriptedMessages messages;
    messages.expect("I don't recognize 13/13/2026 as a date.", "Audit Trail", Msg::Exclamation, Msg::OK);
    RecordingAuditStore store;
    frmAuditLog w(store);
    w.txtTo->setText("13/13/2026");
    store.requests.clear();
    QVERIFY(!w.cmdFilter_Click());
    QVERIFY2(messages.allMet(), qPrintable(messages.report()));
    QVERIFY(store.requests.isEmpty());
}

void tst_AuditLog::citationHistoryFromARealTrail()
{
    TempDataFolder folder;
    CurrentUserName = QStringLiteral("Jane Doe");
    CurrentAccessLevel = 4;
    const CitationBytes3000 a = CitationBytes3000::sample("A-7", QDate(2026, 1, 2));
    CitationBytes3000 edited = a;
    edited.text("DefendantName", "JANE Q PUBLIC");
    auto rec = [](const CitationBytes3000& c) { return CitationRecord::fromBytes(c.bytes().constData(), c.bytes().size()); };
    FileError error;
    for (const AuditEntry& e : {AuditEvents::citationAdded(rec(a), 1), AuditEvents::logIn(),
                                AuditEvents::citationEdited(rec(a), rec(edited), 1),
                                AuditEvents::citationPrinted(rec(CitationBytes3000::sample("A-70", QDate(2026, 1, 3))), 2, false),
                                AuditEvents::citationDeleted(rec(edited), 1)})
        QVERIFY(recordAudit(e, error));
    FolderAuditStore store;
    frmAuditLog w(store, " a-7");
    QCOMPARE(w.windowTitle(), QStringLiteral("Sennet - History of Citation a-7"));
    QCOMPARE(w.grid->model()->rowCount(), 3);
    QStringList actions;
    for (int r = 0; r < 3; ++r)
        actions << w.grid->model()->index(r, AuditLogModel::Action).data().toString();
    QCOMPARE(actions, (QStringList{"Citation deleted", "Citation edited", "Citation added"}));
    const QString details = w.txtDetails->toPlainText();
    QVERIFY(details.contains("The citation as it was deleted:\n"));
    QVERIFY(details.contains("  DefendantName: \"JANE Q PUBLIC\"\n"));
}

QTEST_MAIN(tst_AuditLog)
#include "tst_auditlog.moc"
