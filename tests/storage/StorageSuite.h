#pragma once
// The stores the store-level suite runs against, each made fresh and empty
// over a temporary folder, or a new database on the run's own PostgreSQL.
// Another store is one more line in StorageFactories().
#include "PgCluster.h"
#include "storage/FolderStorage.h"
#include "store/DataFileNames.h"

#include <QDir>
#include <QList>
#include <QString>
#include <functional>
#include <memory>

struct StorageFactory {
    QString name;
    std::function<std::unique_ptr<Storage>(const QString& tempDir)> make;
};

inline QList<StorageFactory> StorageFactories()
{
    return {
        {QStringLiteral("folder"),
         [](const QString& dir) -> std::unique_ptr<Storage> {
             // The data folder is the working folder.
             QDir::setCurrent(dir);
             InitialiseDataFileNames();
             return std::make_unique<FolderStorage>();
         }},
        {QStringLiteral("server"),
         [](const QString&) -> std::unique_ptr<Storage> {
             // One cluster for the whole run, stopped when the run ends.
             static PgCluster cluster;
             if (!cluster.available())
                 return nullptr;
             return makeServerStorage(cluster);
         }},
    };
}
