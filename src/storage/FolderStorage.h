#pragma once
// The data folder: one desk's citations, users and log in the three files of
// the working folder ("Sennet.Data", "User.List", "User.Log"), read and
// written by the file layer exactly as the program always has. Keys are
// record numbers, so a deletion moves the later ones up by one. The access
// code lives in the settings store.
#include "storage/Storage.h"

class FolderStorage final : public Storage {
public:
    FolderStorage();
    ~FolderStorage() override;

    bool isServer() const override { return false; }
    // The data folder's path.
    QString description() const override;

    CitationStore& citations() override;
    UserStore& users() override;
    UserLogStore& userLog() override;
    SharedSettings& shared() override;
    AuditStore& audit() override;

    // One desk: nobody else to tell who acts.
    void setActor(const StoreActor&) override {}

    bool readContents(StoreContents& contents, FileError& error) override;
    // Writes every file through a work file beside it and renames the work
    // files over the files once all are written; an empty part leaves no file.
    bool replaceContents(const StoreContents& contents, FileError& error) override;

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};
