#include "store/LegacyConversion.h"

#include "platform/ApplicationTitle.h"
#include "store/CitationRecord.h"
#include "store/DataFileNames.h"
#include "store/RecordFile.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace {

QString dataFile(const QString& fileName) { return fileName.isEmpty() ? CitationFileName : fileName; }

// The backup sits beside the data file.
QString backupBeside(const QString& file)
{
    const QFileInfo info(file);
    const QString dir = info.path();
    return dir == QStringLiteral(".") ? LegacyBackupFileName() : dir + u'/' + LegacyBackupFileName();
}

QString workBeside(const QString& file)
{
    const QFileInfo info(file);
    const QString dir = info.path();
    return dir == QStringLiteral(".") ? WorkFileName : dir + u'/' + WorkFileName;
}

// One old record in the current layout: the format version, the sections
// byte for byte, and the old notes padded with blanks to the new width.
void convertRecord(const char* old, char* out)
{
    using namespace CitationLayout;
    qToLittleEndian<qint16>(CurrentFormatVersion, out);
    memcpy(out + 2, old, LegacyLayout::SectionsLength);
    const SectionSpec& notes = section(CitationSection::Notes);
    memcpy(out + notes.offset, old + LegacyLayout::SectionsLength, LegacyLayout::NotesLength);
    memset(out + notes.offset + LegacyLayout::NotesLength, ' ', notes.length - LegacyLayout::NotesLength);
}

// Renames `from` over `to` in one step; the error names `from` and where it
// was to go.
bool renameOver(const QString& from, const QString& to, FileError& error)
{
    FileError failed;
    if (FileOps::replaceFile(from, to, failed))
        return true;
    QString reason = failed.what;
    reason.remove(QStringLiteral("could not be replaced: "));
    error = {from, QStringLiteral("could not be renamed to \"%1\": %2").arg(QFileInfo(to).fileName(), reason)};
    return false;
}

} // namespace

QString LegacyBackupFileName() { return ApplicationTitle() + QStringLiteral(".Old"); }

DataFileFormat CheckDataFileFormat(FileError& error, const QString& fileName)
{
    error.clear();
    const QString file = dataFile(fileName);
    const QFileInfo info(file);
    if (!info.exists())
        return DataFileFormat::Missing;
    if (!info.isFile()) {
        error = {file, QStringLiteral("is not a regular file")};
        return DataFileFormat::Current;
    }
    if (info.size() == 0) {
        if (!QFile::remove(file))
            error = {file, QStringLiteral("is empty but could not be removed")};
        return DataFileFormat::Emptied;
    }
    if (info.size() < CitationLayout::RecordLength)
        return DataFileFormat::NeedsConversion;

    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        error = {file, QStringLiteral("could not be opened: %1").arg(f.errorString())};
        return DataFileFormat::Current;
    }
    const QByteArray first = f.read(2);
    if (first.size() != 2) {
        error = {file, QStringLiteral("could not be read: %1").arg(f.errorString())};
        return DataFileFormat::Current;
    }
    const qint16 version = qFromLittleEndian<qint16>(first.constData());
    return (version >= 300 && version <= 399) ? DataFileFormat::Current : DataFileFormat::NeedsConversion;
}

qint64 ConvertLegacyDataFile(FileError& error, const QString& fileName)
{
    error.clear();
    const QString file = dataFile(fileName);
    const QString work = workBeside(file);
    const QString backup = backupBeside(file);

    QFile old(file);
    if (!old.open(QIODevice::ReadOnly)) {
        error = {file, QStringLiteral("could not be opened: %1").arg(old.errorString())};
        return -1;
    }
    const qint64 count = RecordFile::CountForLength(old.size(), LegacyLayout::RecordLength);

    QFile::remove(work);
    QFile out(work);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error = {file, QStringLiteral("could not be converted: the work file \"%1\" could not be created: %2")
                           .arg(WorkFileName, out.errorString())};
        return -1;
    }

    // Convert in blocks; a short last record reads its missing bytes as blanks.
    constexpr qint64 BlockRecords = 512;
    QByteArray converted;
    bool ok = true;
    for (qint64 first = 0; ok && first < count; first += BlockRecords) {
        const qint64 n = qMin(BlockRecords, count - first);
        QByteArray block = old.read(n * LegacyLayout::RecordLength);
        if (old.error() != QFileDevice::NoError) {
            error = {file, QStringLiteral("could not be read: %1").arg(old.errorString())};
            ok = false;
            break;
        }
        if (block.size() < n * LegacyLayout::RecordLength)
            block.append(QByteArray(n * LegacyLayout::RecordLength - block.size(), ' '));
        converted.resize(n * CitationLayout::RecordLength);
        for (qint64 i = 0; i < n; ++i)
            convertRecord(block.constData() + i * LegacyLayout::RecordLength,
                          converted.data() + i * CitationLayout::RecordLength);
        if (out.write(converted) != converted.size()) {
            error = {file, QStringLiteral("could not be converted: %1").arg(out.errorString())};
            ok = false;
        }
    }
    old.close();
    if (ok && !(out.flush() && FileOps::syncToDisk(out.handle()))) {
        error = {file, QStringLiteral("could not be converted: %1").arg(out.errorString())};
        ok = false;
    }
    out.close();
    if (!ok) {
        QFile::remove(work);
        return -1;
    }

    // The old file becomes the backup in one step (an earlier backup is
    // replaced by the rename itself), then the work file takes its place.
    if (!renameOver(file, backup, error)) {
        QFile::remove(work);
        return -1;
    }
    if (!renameOver(work, file, error)) {
        FileError ignored;
        renameOver(backup, file, ignored);
        QFile::remove(work);
        error.fileName = file;
        return -1;
    }
    return count;
}

bool KeepDataFileAsBackup(FileError& error, const QString& fileName)
{
    error.clear();
    const QString file = dataFile(fileName);
    return renameOver(file, backupBeside(file), error);
}
