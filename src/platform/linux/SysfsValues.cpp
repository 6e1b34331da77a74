#include "platform/linux/SysfsValues.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <unistd.h>

QString ReadSysfsLine(const QString& path)
{
    ProcFile file(path, 256, ProcFile::Hold::OnKernelFileSystems, MaxSysfsFileSize);
    if (!file.Read())
        return {};
    std::string_view text = file.Text();
    text = text.substr(0, text.find('\n'));
    return QString::fromUtf8(text.data(), qsizetype(text.size())).trimmed();
}

std::optional<double> SysfsNumber(std::string_view text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.remove_suffix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> ReadSysfsNumber(ProcFile& file)
{
    if (!file.Read())
        return std::nullopt;
    const std::string_view text = file.Text();
    return SysfsNumber(text.substr(0, text.find('\n')));
}

QStringList NumberedEntries(const QString& folder, const QString& prefix)
{
    QStringList names =
        QDir(folder).entryList({prefix + u'*'}, QDir::Dirs | QDir::System | QDir::NoDotAndDotDot);
    const auto number = [&](const QString& name) {
        return name.mid(prefix.size()).toInt();
    };
    std::sort(names.begin(), names.end(),
              [&](const QString& a, const QString& b) { return number(a) < number(b); });
    return names;
}

QString LinkName(const QString& path)
{
    char target[PATH_MAX];
    const ssize_t n = ::readlink(QFile::encodeName(path).constData(), target, sizeof target);
    if (n <= 0 || size_t(n) >= sizeof target)
        return {};
    const QString text = QFile::decodeName(QByteArray(target, n));
    return text.section(u'/', -1);
}

bool ReadsSuspended(ProcFile& runtimeStatus)
{
    return runtimeStatus.Read() && runtimeStatus.Text().substr(0, 9) == "suspended";
}
