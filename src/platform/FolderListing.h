#pragma once

#include <QDir>
#include <QFileInfoList>
#include <QStringView>

// The entries of a folder whose names end in suffix, in any case, as a "*.suffix" name
// filter would give them. Name filters are wildcard patterns, compiled to regular expressions
// on every listing; a suffix needs none of that.
QFileInfoList EntriesWithSuffix(const QDir& folder, QStringView suffix, QDir::Filters filters,
                                QDir::SortFlags sort = QDir::NoSort);
