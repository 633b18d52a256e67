// The list file beside the data file: the list it gives equals the list read
// from the data file, it is used only while the data file is the one it was
// made from, unchanged, and every change the program makes removes it first,
// for good. Data files come from the tests' own record writer; damaged list
// files are made by changing the bytes the program wrote.
#include "DataFiles.h"
#include "store/CitationFile.h"
#include "store/CitationListFile.h"
#include "store/CitationNumberIndex.h"
#include "store/CitationRows.h"
#include "store/DataFileNames.h"
#include "store/FileIo.h"
#include "storage/FolderStorage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QThread>
#include <functional>

namespace {

QByteArray full(const QByteArray& text, int width) { return text.repeated(width / text.size() + 1).left(width); }

// Capitals at full width, accents, blank fields and days that are no date.
QList<CitationBytes3000> citations(int count)
{
    QList<CitationBytes3000> out;
    for (int i = 1; i <= count; ++i) {
        CitationBytes3000 c = CitationBytes3000::sample(
            i % 7 == 0 ? full("W", 15) : "C" + QByteArray::number(i), QDate(2009, 1, 1).addDays(i % 4000),
            i % 5 == 0 ? QByteArray() : full("46.2-862 ", 25), i % 3 == 0 ? full("RT 1 NORTHBOUND ", 50) : "Main St",
            i % 4 == 0 ? QByteArray() : "M\xfcller \xc9lo\xefse \xd1" "u\xf1" "ez");
        if (i % 13 == 0)
            c.date("OffenseDate", 1e12); // no day at all
        out << c;
    }
    return out;
}

QList<CitationRow> decoded(const CitationRows& rows)
{
    QList<CitationRow> out;
    for (int r = 0; r < rows.size(); ++r)
        out << rows.decoded(r);
    return out;
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void setContents(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Reads of the data file made while `f` runs.
int dataReadsDuring(const std::function<void()>& f)
{
    int reads = 0;
    FileIo::setInterceptor([&](FileIo::Call call, const QString& path, qint64) {
        if (call == FileIo::Call::Read && path.endsWith(CitationFileName))
            ++reads;
        return FileIo::Verdict();
    });
    f();
    FileIo::setInterceptor({});
    return reads;
}

} // namespace

class tst_ListFile : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        InitialiseDataFileNames();
        CitationListFile::setWriting(true);
    }
    void init();
    void cleanup();
    void givesTheDataFilesList();
    void notUsedUnlessItFits_data();
    void notUsedUnlessItFits();
    void removedForGoodBeforeEveryChange_data();
    void removedForGoodBeforeEveryChange();
    void notMadeOfAFileJustChanged();

private:
    // Lists the whole file through the store; its list file made (if it is)
    // before this returns.
    QList<CitationRow> list()
    {
        FileError error;
        const CitationRows rows = m_storage->citations().listRows(nullptr, error);
        CitationListFile::waitForWrite();
        [&] { QVERIFY2(!error.isError(), qPrintable(error.message())); }();
        return decoded(rows);
    }
    QString listFile() const { return FileIo::derivedFileName(CitationFileName); }

    std::unique_ptr<TempDataFolder> m_folder;
    std::unique_ptr<FolderStorage> m_storage;
    QList<CitationRow> m_expected; // the list as read from the data file
};

void tst_ListFile::init()
{
    m_folder = std::make_unique<TempDataFolder>();
    m_storage = std::make_unique<FolderStorage>();
    WriteCitations(CitationFileName, citations(4500));
    QThread::msleep(60); // older than the clock's steps: fit to be copied
    m_expected = list();
    QVERIFY(QFile::exists(listFile()));
    // It holds part of the data file: open to those the data file is open to.
    QCOMPARE(QFileInfo(listFile()).permissions(), QFileInfo(CitationFileName).permissions());
}

void tst_ListFile::cleanup()
{
    FileIo::setInterceptor({});
    citationNumberIndex().invalidate();
    m_storage.reset();
    m_folder.reset();
}

void tst_ListFile::givesTheDataFilesList()
{
    QList<CitationRow> got;
    QCOMPARE(dataReadsDuring([&] { got = list(); }), 0);
    QCOMPARE(got.size(), 4500);
    QVERIFY(got == m_expected);
    // The number index filled from it finds what the data file holds.
    for (const QString& number : {QStringLiteral("c10"), QStringLiteral(" C4499 "), QString(15, QLatin1Char('w'))}) {
        QList<CitationKey> keys;
        FileError error;
        QVERIFY(m_storage->citations().findNumber(number, 0, keys, error));
        QList<CitationKey> expected;
        for (const CitationRow& row : m_expected)
            if (row.citationNumber.compare(number.trimmed(), Qt::CaseInsensitive) == 0)
                expected << row.recNum;
        QCOMPARE(keys, expected);
    }
}

// Each way the list file can stop fitting: the list comes from the data file
// and equals a fresh read of it.
void tst_ListFile::notUsedUnlessItFits_data()
{
    using Damage = std::function<void(const QString& data, const QString& list)>;
    QTest::addColumn<Damage>("damage");
    const auto flipAt = [](qint64 at) {
        return Damage([at](const QString&, const QString& list) {
            QByteArray b = contents(list);
            const qint64 where = at >= 0 ? at : b.size() + at;
            b[where] = char(b[where] ^ 0x20);
            setContents(list, b);
        });
    };
    const auto recordEdited = [](const QString& data, const QString&) {
        // As an earlier version writes: in place, without the file layer.
        QFile f(data);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.seek(3000 * 17 + 20));
        f.write("X");
    };
    QTest::newRow("record edited in place by another program") << Damage(recordEdited);
    QTest::newRow("record added by another program") << Damage([](const QString& data, const QString&) {
        QFile f(data);
        QVERIFY(f.open(QIODevice::Append));
        f.write(citations(1).first().bytes());
    });
    QTest::newRow("data file replaced by a copy of itself") << Damage([](const QString& data, const QString&) {
        QVERIFY(QFile::copy(data, data + ".copy"));
        QVERIFY(QFile::remove(data));
        QVERIFY(QFile::rename(data + ".copy", data));
    });
    QTest::newRow("header stamp") << flipAt(20);
    QTest::newRow("row count") << flipAt(58);
    QTest::newRow("a row's lengths") << flipAt(128 + 8 * 100 + 5);
    QTest::newRow("a text") << flipAt(-10);
    QTest::newRow("cut short") << Damage([](const QString&, const QString& list) {
        setContents(list, contents(list).chopped(1));
    });
    QTest::newRow("huge counts") << Damage([](const QString&, const QString& list) {
        QByteArray b = contents(list);
        b.replace(56, 16, QByteArray(16, '\xff'));
        setContents(list, b);
    });
    QTest::newRow("header only") << Damage([](const QString&, const QString& list) {
        setContents(list, contents(list).left(128));
    });
    QTest::newRow("a folder") << Damage([](const QString&, const QString& list) {
        QVERIFY(QFile::remove(list));
        QVERIFY(QDir().mkdir(list));
    });
}

void tst_ListFile::notUsedUnlessItFits()
{
    QFETCH(std::function<void(const QString&, const QString&)>, damage);
    QThread::msleep(10); // a change by another program lands in a later clock step
    damage(CitationFileName, listFile());
    CitationFileView view(CitationFileName);
    QVERIFY(view.open());
    const QList<CitationRow> expected = ReadCitationRows(view, nullptr);
    QList<CitationRow> got;
    QVERIFY(dataReadsDuring([&] { got = list(); }) > 0);
    QCOMPARE(got.size(), expected.size());
    QVERIFY(got == expected);
}

// Every change through the store removes the list file, and makes the
// removal last (the folder flushed), before any byte of the data file or its
// intent is written. When it cannot be removed the change fails and the data
// file keeps every byte.
void tst_ListFile::removedForGoodBeforeEveryChange_data()
{
    using Change = std::function<bool(CitationStore&)>;
    QTest::addColumn<Change>("change");
    const CitationRecord record = CitationRecord::fromBytes(citations(1).first().bytes().constData(), 3000);
    QTest::newRow("add") << Change([record](CitationStore& s) {
        CitationKey key = 0;
        FileError e;
        return s.add(record, key, e);
    });
    QTest::newRow("save") << Change([record](CitationStore& s) {
        FileError e;
        return s.save(40, record, e);
    });
    QTest::newRow("remove") << Change([](CitationStore& s) {
        FileError e;
        return s.remove(40, e);
    });
}

void tst_ListFile::removedForGoodBeforeEveryChange()
{
    QFETCH(std::function<bool(CitationStore&)>, change);
    const QByteArray before = contents(CitationFileName);
    const QByteArray listBefore = contents(listFile());

    // Refused: the change does not happen.
    FileIo::setInterceptor([&](FileIo::Call call, const QString& path, qint64) {
        return FileIo::Verdict{call == FileIo::Call::Remove && path.endsWith(QLatin1String(".$$l")) ? EACCES : 0};
    });
    QVERIFY(!change(m_storage->citations()));
    FileIo::setInterceptor({});
    QCOMPARE(contents(CitationFileName), before);
    QCOMPARE(contents(listFile()), listBefore);

    // What touches the data file, its intent and its list file, in order.
    QList<QPair<FileIo::Call, QString>> calls;
    FileIo::setInterceptor([&](FileIo::Call call, const QString& path, qint64) {
        calls.append({call, QFileInfo(path).fileName()});
        return FileIo::Verdict();
    });
    QVERIFY(change(m_storage->citations()));
    FileIo::setInterceptor({});
    QVERIFY(!QFile::exists(listFile()));
    const auto indexOf = [&](int from, const std::function<bool(FileIo::Call, const QString&)>& f) {
        for (int i = from; i < calls.size(); ++i)
            if (f(calls[i].first, calls[i].second))
                return i;
        return -1;
    };
    const int removed = indexOf(0, [&](FileIo::Call c, const QString& name) {
        return c == FileIo::Call::Remove && name == CitationFileName + ".$$l";
    });
    const int flushed = indexOf(removed + 1, [](FileIo::Call c, const QString&) { return c == FileIo::Call::SyncFolder; });
    const int changed = indexOf(0, [&](FileIo::Call c, const QString& name) {
        return (c == FileIo::Call::Write || c == FileIo::Call::Rename || c == FileIo::Call::Truncate)
            && (name == CitationFileName || name == CitationFileName + ".$$j");
    });
    QVERIFY(removed >= 0);
    QVERIFY(flushed > removed);
    QVERIFY(changed > flushed);
    // Made again at the end of the run, a moment after the change, the next
    // list comes from it and equals the data file's.
    CitationListFile::makeForNextOpen(CitationFileName);
    CitationFileView view(CitationFileName);
    QVERIFY(view.open());
    QList<CitationRow> got;
    QCOMPARE(dataReadsDuring([&] { got = list(); }), 0);
    QVERIFY(got == ReadCitationRows(view, nullptr));
}

void tst_ListFile::notMadeOfAFileJustChanged()
{
    QVERIFY(QFile::remove(listFile()));
    WriteCitations(CitationFileName, citations(50));
    list();
    QVERIFY(!QFile::exists(listFile()));
    // Nor when a change began while it was being made: nothing is left behind.
    QThread::msleep(60);
    QVERIFY(!FileIo::writeDerivedFile(CitationFileName, "list", FileIo::derivedFilesChanged() - 1, [] { return true; }));
    QVERIFY(!QFile::exists(listFile()));
    QVERIFY(!QFile::exists(listFile() + ".$$$"));
}

QTEST_GUILESS_MAIN(tst_ListFile)
#include "tst_listfile.moc"
