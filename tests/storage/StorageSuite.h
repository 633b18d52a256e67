#pragma once
// The stores the store-level suite runs against, each made fresh and empty
// over a temporary folder of its own. Another store is one more line in
// StorageFactories().
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
    };
}
