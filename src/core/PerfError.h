#pragma once

#include <QString>
#include <stdexcept>

// The reader's and the core's failures; the message is one of the fixed texts.
class EPerfError : public std::runtime_error
{
public:
    explicit EPerfError(const QString& message) : std::runtime_error(message.toStdString()) {}

    QString Message() const { return QString::fromUtf8(what()); }
};
