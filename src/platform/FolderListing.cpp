#include "platform/FolderListing.h"

QFileInfoList EntriesWithSuffix(const QDir& folder, QStringView suffix, QDir::Filters filters,
                                QDir::SortFlags sort)
{
    QFileInfoList matching;
    for (const QFileInfo& entry : folder.entryInfoList(filters, sort)) {
        if (entry.fileName().endsWith(suffix, Qt::CaseInsensitive))
            matching.push_back(entry);
    }
    return matching;
}
