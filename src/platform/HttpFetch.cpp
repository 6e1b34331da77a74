#include "platform/HttpFetch.h"

#include <QUrl>

QString LoggableUrl(const QString& url)
{
    const QUrl parsed(url);
    // An address QUrl cannot take apart is not shown at all: it may hold a password still.
    return parsed.isValid() ? parsed.toString(QUrl::RemovePassword)
                            : QStringLiteral("(an address that cannot be read)");
}
