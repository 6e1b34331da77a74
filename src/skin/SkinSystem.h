#pragma once

#include "log/DebugLog.h"
#include "platform/FileRead.h"
#include "skin/FileStampCache.h"
#include "skin/SkinModel.h"

#include <QSize>
#include <QString>
#include <array>
#include <optional>

class ProfileIni;

// The platform family a skin declares itself usable on ("Win9x", "WinNT").
enum class SkinPlatform
{
    Win9x,
    NT
};

// How far a check of a skin's pictures goes: their files and headers (quick enough for every
// refresh of the skin list), or their decoding as well.
enum class SkinCheck
{
    Headers,
    Pictures
};

// What the check of the skin list takes from a picture file: whether it could be read, the hash
// of its bytes (a picture under two names counts once) and the size its header gives.
struct SkinPictureHeader
{
    FileRead::Result Status = FileRead::Result::Missing;
    QByteArray Key;
    std::optional<QSize> Size;
};
using SkinPictureHeaders = FileStampCache<SkinPictureHeader>;

// The skin engine's model of the loaded skin, and the reading and checking of definition files.
// One instance lives for the whole run; LoadSkin replaces its content.
class TSkinSystem
{
public:
    static constexpr const char* IdentitySection = "Pulsmir2_Skin";
    static constexpr const char* CompactSection = "Pulsmir2_SkinS";
    static constexpr const char* FullSection = "Pulsmir2_SkinL";
    // The skin-engine generation this program implements.
    static constexpr char16_t Generation = u'C';

    explicit TSkinSystem(TaggedLog log = {}) : m_log(std::move(log)) {}

    // The file exists and may be used on the platform.
    static bool ValidateSkin(const QString& path, SkinPlatform platform = SkinPlatform::NT);
    // The first rule ValidateSkin finds broken, naming section, key and value, or the picture
    // LoadSkin would refuse (by the same rule, on a screen of that size; empty for any); none
    // when valid.
    static std::optional<QString> FindSkinFault(const QString& path, SkinPlatform platform,
                                                SkinCheck depth = SkinCheck::Headers,
                                                QSize screen = {});
    // The same for a definition file read already; a check of headers takes those the cache
    // holds of pictures unchanged since.
    static std::optional<QString> FindSkinFault(const ProfileIni& ini, const QString& path,
                                                SkinPlatform platform,
                                                SkinCheck depth = SkinCheck::Headers,
                                                QSize screen = {},
                                                SkinPictureHeaders* headers = nullptr);
    // Reads a definition file of at most ProfileIni::MaxFileSize; the fault when it is missing,
    // cannot be read or is larger.
    static std::optional<QString> ReadDefinition(const QString& path, ProfileIni& ini);

    // False, with the reason in the log, when the file does not exist or the skin goes beyond
    // a limit: a picture over the picture limits, pictures over ImageBudget together, a picture
    // of an enabled mode that does not decode, or backgrounds larger than MaxWindowSize in
    // every enabled mode (a mode whose background alone is too large is disabled). The model
    // is then unchanged.
    bool LoadSkin(const QString& path);

    // A skin shows one mode at a time, so the other mode's pictures (its background, strips
    // and digits, most of a skin's memory) can go; the rest of that mode stays.
    void ReleasePictures(bool fullMode);
    bool HasPictures(bool fullMode) const { return !m_released[fullMode ? 1 : 0]; }
    // Once a surface was made from the mode's background, the renderer needs only the parts
    // the elements draw over (TSkinRenderer::ElementAreas); the rest goes. Nothing happens
    // to a mode without a background.
    void ReleaseBackground(bool fullMode, const QRegion& underElements);
    // Loads the skin again from its file (a few milliseconds) for a mode whose pictures went,
    // and lets the other mode's go. False, with the model unchanged, when the skin no longer
    // loads or no longer has that mode.
    bool ReloadForMode(bool fullMode);

    // "#RRGGBB", either case; anything else is false and black.
    static bool ParseSkinColor(const QString& text, SkinColor& color);
    // A text's font key names a file of the skin's folder (by its ending) rather than a family.
    static bool IsFontFileName(const QString& value);
    // "left" (or nothing), "center" or "centre", "right", either case; none for anything else.
    static std::optional<TSkinText::Alignment> SkinTextAlignment(const QString& value);
    // The definition file's folder + its base name + "/".
    static QString SkinImageFolder(const QString& definitionPath);
    // The file an image key names, with Windows separators turned round and letter case
    // matched as Windows would; empty when no such file exists.
    static QString ResolveImageFile(const QString& imageFolder, const QString& value);

    const TSkinModeRecord& Mode(bool fullMode) const { return fullMode ? Full : Compact; }

    // Decoded images (and the masks and copies made of them) a skin may hold in all, so a skin
    // of many large pictures cannot exhaust the machine's memory. Real skins take a few MiB.
    static constexpr std::int64_t DefaultImageBudget = std::int64_t(256) << 20;
    std::int64_t ImageBudget = DefaultImageBudget;
    // The screen's size, which a window can never usefully exceed; empty for no limit.
    QSize MaxWindowSize;

    qint32 MemUsed = 0;
    QString SkinName;
    QString SkinSystem;
    QString CreaterName;
    QString CreaterURL;
    bool Win9x = false;
    bool WinNT = false;
    TSkinModeRecord Compact;
    TSkinModeRecord Full;

private:
    class Reader;

    TaggedLog m_log;
    QString m_path; // of the definition loaded
    std::array<bool, 2> m_released{}; // compact, full
};
