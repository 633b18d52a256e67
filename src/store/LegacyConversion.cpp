#include "store/LegacyConversion.h"

#include "platform/ApplicationTitle.h"
#include "store/CitationRecord.h"
#include "store/DataFileNames.h"
#include "store/FileCopy.h"
#include "store/FileIo.h"
#include "store/RecordFile.h"

#include <QFile>
#include <cstring>
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
    if (FileIo::replaceFile(from, to, failed))
        return true;
    QString reason = failed.what;
    reason.remove(QStringLiteral("could not be replaced: "));
    error = {from, QStringLiteral("could not be renamed to \"%1\": %2").arg(QFileInfo(to).fileName(), reason)};
    return false;
}

// Gives `file` the backup name as well, through a link made under a work
// name and renamed over the backup; where the file system has no links, a
// copy does.
bool keepCopyAsBackup(const QString& file, const QString& backup, FileError& error)
{
    const QString partial = FileCopy::PartialName(backup);
    QString reason;
    FileIo::removeFile(partial, reason);
    FileError failed;
    if (FileIo::linkFile(file, partial, reason)) {
        if (FileIo::replaceFile(partial, backup, failed))
            return true;
        FileIo::removeFile(partial, reason);
    } else if (FileCopy::CopyFile(file, backup, failed)) {
        return true;
    }
    if (failed.isError())
        reason = failed.what.mid(failed.what.indexOf(QLatin1String(": ")) + 2);
    error = {file, QStringLiteral("could not be renamed to \"%1\": %2").arg(QFileInfo(backup).fileName(), reason)};
    return false;
}

} // namespace

QString LegacyBackupFileName() { return ApplicationTitle() + QStringLiteral(".Old"); }

DataFileFormat InspectDataFileFormat(const QString& file, qint64& length, FileError& error)
{
    error.clear();
    length = 0;
    if (!QFileInfo::exists(file) && !QFileInfo(file).isSymLink())
        return DataFileFormat::Missing;

    QString what;
    FileIo::File f;
    if (!f.open(file, FileIo::File::ReadOnly, what, FileIo::WriteShape::records(CitationLayout::RecordLength))) {
        error = {file, what};
        return DataFileFormat::Current;
    }
    const qint64 size = f.size();
    if (size < 0) {
        error = {file, QStringLiteral("could not be read: %1").arg(f.reason())};
        return DataFileFormat::Current;
    }
    length = size;
    if (size == 0)
        return DataFileFormat::Current;
    if (size < CitationLayout::RecordLength)
        return DataFileFormat::NeedsConversion;

    char first[2];
    if (f.readAt(0, first, 2) != 2) {
        error = {file, QStringLiteral("could not be read: %1").arg(f.reason())};
        return DataFileFormat::Current;
    }
    const qint16 version = qFromLittleEndian<qint16>(first);
    return (version >= 300 && version <= 399) ? DataFileFormat::Current : DataFileFormat::NeedsConversion;
}

DataFileFormat CheckDataFileFormat(FileError& error, const QString& fileName)
{
    // Anything that cannot be looked at is left alone and reported.
    const QString file = dataFile(fileName);
    qint64 length = 0;
    const DataFileFormat format = InspectDataFileFormat(file, length, error);
    if (format != DataFileFormat::Current || length != 0 || error.isError())
        return format;
    QString reason;
    if (!FileIo::removeFile(file, reason))
        error = {file, QStringLiteral("is empty but could not be removed: %1").arg(reason)};
    return DataFileFormat::Emptied;
}

qint64 ConvertLegacyDataFile(FileError& error, const QString& fileName, const ProgressFn& progress)
{
    error.clear();
    const QString file = dataFile(fileName);
    const QString work = workBeside(file);
    const QString backup = backupBeside(file);

    QString what;
    FileIo::File old;
    if (!old.open(file, FileIo::File::ReadOnly, what, FileIo::WriteShape::records(CitationLayout::RecordLength))) {
        error = {file, what};
        return -1;
    }
    const qint64 size = old.size();
    if (size < 0) {
        error = {file, QStringLiteral("could not be read: %1").arg(old.reason())};
        return -1;
    }
    const qint64 count = RecordFile::CountForLength(size, LegacyLayout::RecordLength);

    FileIo::File out;
    if (!out.open(work, FileIo::File::CreateNew, what)) {
        error = {file, QStringLiteral("could not be converted: the work file \"%1\" %2").arg(WorkFileName, what)};
        return -1;
    }
    out.setPermissions(old.permissions());
    FileIo::copyOwnership(old, out);
    auto fail = [&](const FileError& failure) {
        error = failure;
        out.close();
        QString ignored;
        FileIo::removeFile(work, ignored);
        return qint64(-1);
    };

    // Convert in blocks; a short last record reads its missing bytes as blanks.
    constexpr qint64 BlockRecords = 512;
    QByteArray block, converted;
    for (qint64 first = 0; first < count; first += BlockRecords) {
        const qint64 n = qMin(BlockRecords, count - first);
        block.resize(n * LegacyLayout::RecordLength);
        const qint64 got = old.readAt(first * LegacyLayout::RecordLength, block.data(), block.size());
        if (got < 0)
            return fail({file, QStringLiteral("could not be read: %1").arg(old.reason())});
        if (got < block.size())
            memset(block.data() + got, ' ', size_t(block.size() - got));
        converted.resize(n * CitationLayout::RecordLength);
        for (qint64 i = 0; i < n; ++i)
            convertRecord(block.constData() + i * LegacyLayout::RecordLength,
                          converted.data() + i * CitationLayout::RecordLength);
        if (!out.writeAt(first * CitationLayout::RecordLength, converted.constData(), converted.size()))
            return fail({file, QStringLiteral("could not be converted: %1").arg(out.reason())});
        if (progress)
            progress(first + n, count);
    }
    if (!out.sync())
        return fail({file, QStringLiteral("could not be converted: %1").arg(out.reason())});
    out.close();
    old.close();

    // The old file is kept under the backup name as a second name of the
    // same file (an earlier backup is replaced in one step), then the work
    // file takes the data file's name in one step. So the data file never
    // goes missing: a crash between the steps leaves it old and whole, and
    // the next start offers the conversion again.
    if (!keepCopyAsBackup(file, backup, error)) {
        QString ignored;
        FileIo::removeFile(work, ignored);
        return -1;
    }
    if (!renameOver(work, file, error)) {
        QString ignored;
        FileIo::removeFile(work, ignored);
        error.fileName = file;
        return -1;
    }
    return count;
}

QByteArray ConvertLegacyBytes(const QByteArray& old)
{
    const qint64 count = RecordFile::CountForLength(old.size(), LegacyLayout::RecordLength);
    QByteArray padded = old;
    if (padded.size() < count * LegacyLayout::RecordLength)
        padded.append(QByteArray(count * LegacyLayout::RecordLength - padded.size(), ' '));
    QByteArray converted(count * CitationLayout::RecordLength, Qt::Uninitialized);
    for (qint64 i = 0; i < count; ++i)
        convertRecord(padded.constData() + i * LegacyLayout::RecordLength,
                      converted.data() + i * CitationLayout::RecordLength);
    return converted;
}

bool KeepDataFileAsBackup(FileError& error, const QString& fileName)
{
    error.clear();
    const QString file = dataFile(fileName);
    return renameOver(file, backupBeside(file), error);
}
