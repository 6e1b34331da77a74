// ProfileIni on a file holding the input: the way the program reads every file format, UTF-8
// or Shift_JIS as the bytes tell, and both decodings forced. And the same bytes as a user's
// mimeapps.list, one key set and removed in place.

#include "platform/KeyFileText.h"
#include "platform/ProfileIni.h"
#include "platform/TextDecoding.h"
#include "support/FuzzApplication.h"
#include "support/FuzzCheck.h"
#include "support/FuzzInput.h"
#include "support/ScratchFolder.h"

namespace {

// Every section, key and value it reports, read the ways the program reads them.
struct Contents
{
    QStringList Sections;
    QList<QStringList> Keys;
    QStringList Values;
};

Contents ReadEverything(const ProfileIni& ini)
{
    Contents contents;
    contents.Sections = ini.SectionNames();
    for (const QString& section : contents.Sections) {
        FUZZ_CHECK(ini.SectionExists(section), "a listed section is not found");
        const QStringList keys = ini.KeyNames(section);
        contents.Keys << keys;
        for (const QString& key : keys) {
            FUZZ_CHECK(ini.ValueExists(section, key), "a listed key is not found");
            const QString value = ini.ReadString(section, key, QStringLiteral("default"));
            FUZZ_CHECK(value.size() <= ProfileIni::MaxValueLength, "a value is not cut");
            contents.Values << value;
            ini.ReadInteger(section, key, 0);
            ini.ReadInt64(section, key, 0);
            ini.ReadBool(section, key, false);
        }
    }
    return contents;
}

bool operator==(const Contents& a, const Contents& b)
{
    return a.Sections == b.Sections && a.Keys == b.Keys && a.Values == b.Values;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    StartFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = FuzzBytes(data, size);
    const QString path = Scratch().Write(QStringLiteral("profile.ini"), bytes);

    ProfileIni fromFile(path);
    const Contents read = ReadEverything(fromFile);

    ProfileIni asUtf8;
    asUtf8.LoadText(QString::fromUtf8(bytes));
    ReadEverything(asUtf8);
    ProfileIni asShiftJis;
    asShiftJis.LoadText(DecodeCp932(bytes));
    ReadEverything(asShiftJis);

    // A profile saved unchanged reads back as it was.
    const QString again = Scratch().Write(QStringLiteral("again.ini"), fromFile.ToBytes());
    FUZZ_CHECK(ReadEverything(ProfileIni(again)) == read, "a saved profile reads differently");

    const QByteArray group = "Default Applications";
    const QByteArray key = "application/x-pulsmir-addin";
    const QByteArray set = KeyFileText::WithValue(bytes, group, key, "pulsmir-addin.desktop");
    FUZZ_CHECK(KeyFileText::Value(set, group, key) == "pulsmir-addin.desktop", "a set key is not read");
    FUZZ_CHECK(!KeyFileText::Value(KeyFileText::WithoutKey(set, group, key), group, key),
               "a removed key is still read");
    // Added to a group there already, the key's line is all that comes and goes.
    if (!KeyFileText::Value(bytes, group, key) && bytes.startsWith("[" + group + "]\n") &&
        bytes.endsWith('\n'))
        FUZZ_CHECK(KeyFileText::WithoutKey(set, group, key) == bytes,
                   "a key set and removed again changed other lines");
    return 0;
}
