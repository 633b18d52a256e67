#pragma once
// A file written out of the program (a PDF, say) by something that only
// knows how to write to a QIODevice. The bytes go through the file layer to a
// work file beside the target ("<target>.part"); commit() flushes it and
// renames it over the target in one step. Until then, and whenever a write,
// the flush or the rename fails, a file already standing under the target's
// name is left exactly as it was.
#include "store/FileError.h"
#include "store/FileIo.h"

#include <QIODevice>

class ReplacingFile final : public QIODevice {
public:
    explicit ReplacingFile(const QString& target);
    ~ReplacingFile() override; // discards an uncommitted work file

    // Opens the work file for writing. False with error() set when it cannot.
    bool begin();
    // Flushes the work file and renames it over the target. False with
    // error() set (and the work file removed) when any write before, the
    // flush or the rename failed.
    bool commit();
    // Removes the work file; the target stays as it was.
    void discard();

    const QString& target() const { return m_target; }
    QString workFileName() const;
    const FileError& error() const { return m_error; }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 length) override;

private:
    void fail(const QString& what);

    QString m_target;
    FileIo::File m_file;
    qint64 m_at = 0;
    FileError m_error;
};
