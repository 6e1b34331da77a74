#include "addin/AddinComponent.h"

#include <QStringList>

AddinComponent ComponentOf(const QString& value)
{
    const QString kind = value.toUpper();
    if (kind == QLatin1String("SKIN"))
        return AddinComponent::Skin;
    if (kind == QLatin1String("HELP"))
        return AddinComponent::Help;
    if (kind == QLatin1String("RES"))
        return AddinComponent::Res;
    return AddinComponent::Unknown;
}

QString FolderOf(AddinComponent component)
{
    switch (component) {
    case AddinComponent::Skin:
        return QStringLiteral("Skin");
    case AddinComponent::Help:
        return QStringLiteral("help");
    case AddinComponent::Res:
    case AddinComponent::Unknown:
        break;
    }
    return {};
}

QString ResourceRefusal(const ArchiveEntry& entry)
{
    if (entry.IsDirectory)
        return {};
    if (entry.Permissions & 0111)
        return QStringLiteral("\"%1\" is executable").arg(entry.Name);
    const QString base = entry.Name.section(u'/', -1);
    if (base.compare(QLatin1String("sstp.ini"), Qt::CaseInsensitive) == 0)
        return {};
    static const QStringList Resources = {
        QStringLiteral("lng"), QStringLiteral("prs"), QStringLiteral("png"), QStringLiteral("jpg"),
        QStringLiteral("bmp"), QStringLiteral("wav"), QStringLiteral("ico")};
    const qsizetype dot = base.lastIndexOf(u'.');
    if (dot > 0 && Resources.contains(base.mid(dot + 1), Qt::CaseInsensitive))
        return {};
    return QStringLiteral("\"%1\" is not a resource file").arg(entry.Name);
}
