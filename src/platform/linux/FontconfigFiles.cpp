#include "platform/FontFiles.h"

#include <fontconfig/fontconfig.h>

#include <memory>

namespace {

struct PatternFree
{
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using Pattern = std::unique_ptr<FcPattern, PatternFree>;

} // namespace

QString SystemFontFile(const QString& family)
{
    Pattern pattern(FcPatternCreate());
    if (!pattern)
        return {};
    const QByteArray name = family.toUtf8();
    if (!name.isEmpty())
        FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(name.constData()));
    FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    Pattern match(FcFontMatch(nullptr, pattern.get(), &result));
    FcChar8* file = nullptr;
    if (!match || FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch || !file)
        return {};
    return QString::fromUtf8(reinterpret_cast<const char*>(file));
}
