#include "addin/Archiver.h"

namespace {

QString Quote(const QString& text)
{
    return u'"' + text + u'"';
}

// The switches in the order of the option table; a position in this list is the switch's
// place on the command line.
struct Switch
{
    const char* Name;
    int TArchiverOptions::*Byte = nullptr;
    QString TArchiverOptions::*Text = nullptr;
    QStringList TArchiverOptions::*List = nullptr;
};

using O = TArchiverOptions;
const Switch Switches[] = {
    {"a", &O::a},     {"c", &O::c},     {"e", &O::e},     {"f", &O::f},     {"h", &O::h},
    {"i", &O::i},     {"l", &O::l},     {"m", &O::m},     {"n", &O::n},     {"o", &O::o},
    {"p", &O::p},     {"r", &O::r},     {"s", &O::s},     {"t", &O::t},     {"u", &O::u},
    {"w", nullptr, &O::w},              {"x", &O::x},     {"y", &O::y},     {"z", &O::z},
    {"jc", &O::jc},   {"jd", &O::jd},   {"je", &O::je},   {"jf", &O::jf},   {"jh", &O::jh},
    {"ji", &O::ji},   {"jm", &O::jm},   {"jn", &O::jn},   {"jo", nullptr, &O::jo},
    {"job", nullptr, &O::job},          {"jp", &O::jp},   {"jr", &O::jr},   {"jsb", &O::jsb},
    {"jsc", &O::jsc}, {"jsd", &O::jsd}, {"jse", &O::jse}, {"jsf", &O::jsf}, {"jsl", &O::jsl},
    {"jso", &O::jso}, {"jss", &O::jss}, {"jst", &O::jst}, {"jsv", &O::jsv}, {"jsz", &O::jsz},
    {"jw", &O::jw},   {"jx", nullptr, nullptr, &O::jx},   {"jyc", nullptr, &O::jyc},
    {"jyd", &O::jyd}, {"jyk", &O::jyk}, {"jyn", &O::jyn}, {"jyo", &O::jyo},
    {"jz", nullptr, &O::jz},            {"ga", &O::ga},   {"gd", &O::gd},   {"ge", &O::ge},
    {"gf", &O::gf},   {"gj", &O::gj},   {"gm", &O::gm},   {"gn", &O::gn},   {"go", &O::go},
    {"gp", &O::gp},   {"gr", nullptr, &O::gr},            {"gs", &O::gs},   {"gu", &O::gu},
    {"gw", &O::gw},
};

bool UsesResponseFile(const TArchiverOptions& options, TArchiverOperation operation)
{
    if (options.ResFileName.isEmpty())
        return false;
    switch (operation) {
    case TArchiverOperation::Pack:
        return options.ResOnPack;
    case TArchiverOperation::Unpack:
        return options.ResOnUnpack;
    case TArchiverOperation::RemoveItem:
        return options.ResOnRemoveItem;
    case TArchiverOperation::Update:
        return options.ResOnUpdate;
    }
    return false;
}

[[noreturn]] void NotSupported(const char* text)
{
    throw EArchiver(QString::fromUtf8(text));
}

} // namespace

QString BuildCommandLine(const QString& command, const TArchiverOptions& options,
                         const QString& archive, const QString& destination,
                         const QStringList& names, TArchiverOperation operation,
                         bool ownerWindowHooked)
{
    QStringList parts{command};
    for (const Switch& entry : Switches) {
        const QString name = QString::fromLatin1(entry.Name);
        if (entry.Byte) {
            int value = options.*entry.Byte;
            if (entry.Byte == &O::n && ownerWindowHooked)
                value = 1;
            if (value != TArchiverOptions::NotGiven)
                parts << u'-' + name + QString::number(value);
        } else if (entry.Text) {
            if (!(options.*entry.Text).isEmpty())
                parts << Quote(u'-' + name + options.*entry.Text);
        } else {
            for (const QString& value : options.*entry.List)
                parts << Quote(u'-' + name + value);
        }
    }
    if (!options.UserOptions.isEmpty())
        parts << options.UserOptions;
    parts << Quote(archive);
    if (!destination.isEmpty()) {
        QString folder = destination;
        if (!folder.endsWith(u'/') && !folder.endsWith(u'\\'))
            folder += u'/';
        parts << Quote(folder);
    }
    if (UsesResponseFile(options, operation)) {
        parts << u'@' + Quote(options.ResFileName);
    } else {
        for (const QString& name : names)
            parts << Quote(name);
    }
    return parts.join(u' ');
}

void TArchiver::LoadDLL()
{
    throw EArchiver(QStringLiteral("Abstract method 'TArchiver.LoadDLL' was called"));
}

void TArchiver::FreeDLL()
{
    throw EArchiver(QStringLiteral("Abstract method 'TArchiver.FreeDLL' was called"));
}

int TArchiver::CheckArchive(const QString&, int, int)
{
    throw EArchiver(QString::fromUtf8("この形式の書庫はチェックできません。"));
}

int TArchiver::FindFirst(const QString&, const QString&, TIndividualInfo&)
{
    return -1;
}

int TArchiver::FindNext(TIndividualInfo&)
{
    return -1;
}

void TArchiver::CloseArchive() {}

int TArchiver::Extract(const QString&, const QString&, const QStringList&,
                       const TArchiverOptions&)
{
    NotSupported("この形式の書庫は展開できません。");
}

int TArchiver::Pack(const QString&, const QStringList&)
{
    NotSupported("この形式では書庫ファイルの作成をサポートしておりません。");
}

int TArchiver::Delete(const QString&, const QStringList&)
{
    NotSupported("この形式の書庫ではファイルの削除をサポートしておりません。");
}

int TArchiver::Update(const QString&, const QStringList&)
{
    NotSupported("この形式の書庫では書庫の更新をサポートしておりません。");
}

int TArchiver::MakeSfx(const QString&)
{
    NotSupported("この形式では自己解凍書庫の作成をサポートしておりません。");
}
