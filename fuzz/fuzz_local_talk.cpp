// A Local Talk message as another program sends it: parsed, and carried out against skin
// folders that hold links leading out of them, so that a name which escapes shows as the
// outside skin being selected.

#include "net/LocalTalk.h"
#include "platform/TextDecoding.h"
#include "skin/SkinCatalogue.h"
#include "support/FuzzApplication.h"
#include "support/FuzzCheck.h"
#include "support/FuzzInput.h"
#include "support/ScratchFolder.h"

#include <QFile>
#include <QFileInfo>

namespace {

QStringList skinFolders;

QByteArray Skin(const char* name)
{
    return QByteArray("[Pulsmir2_Skin]\r\nSkinName=") + name + "\r\n";
}

void MakeFolders()
{
    Scratch().Write(QStringLiteral("user/Skin/Mine.ini"), Skin("Mine"));
    Scratch().Write(QStringLiteral("Skin/Foo.ini"), Skin("Foo"));
    Scratch().Write(QStringLiteral("Skin/Sub/Bar.ini"), Skin("Bar"));
    Scratch().Write(QStringLiteral("Skin/Foo/picture.png"), "not a picture");
    Scratch().Write(QStringLiteral("outside/Evil.ini"), Skin("Evil"));
    // Links inside the skin folder that lead out of it, and one that leads nowhere.
    QFile::link(QStringLiteral("../outside/Evil.ini"),
                Scratch().File(QStringLiteral("Skin/evil.ini")));
    QFile::link(QStringLiteral("../outside"), Scratch().File(QStringLiteral("Skin/Out")));
    QFile::link(QStringLiteral("Loop"), Scratch().File(QStringLiteral("Skin/Loop")));
    skinFolders = {Scratch().File(QStringLiteral("user/Skin")),
                   Scratch().File(QStringLiteral("Skin"))};
}

// Whatever the argument, a file that exists is one inside the folder.
void CheckStaysInside(const QString& argument)
{
    for (const QString& folder : skinFolders) {
        const QString path = SkinFileInFolder(folder, argument);
        if (path.isEmpty() || !QFileInfo::exists(path))
            continue;
        const QString inside = QFileInfo(folder).canonicalFilePath() + u'/';
        FUZZ_CHECK(QFileInfo(path).canonicalFilePath().startsWith(inside),
                   "a message names a file outside the skin folder");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    StartFuzzApplication(argc, argv);
    MakeFolders();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = FuzzBytes(data, size);
    // The server closes a connection that sends more than this without a message.
    if (bytes.size() > TLocalTalkServer::MaxMessageBytes)
        return 0;
    const QString text = DecodeText(bytes);
    const TLocalTalkMessage message = ParseLocalTalkMessage(text);
    if (message.Type != TLocalTalkMessage::Kind::Illegal)
        FUZZ_CHECK(message.Header + u':' + message.Argument == text,
                   "a message does not split into its header and argument");
    CheckStaysInside(message.Argument);

    QStringList selected;
    TLocalTalkServer server(
        {skinFolders, &ReadSkinName, [] {},
         [] { return QStringList{"Mine", "Foo", "Bar", "Evil"}; },
         [&selected](const QString& caption) { selected << caption; }},
        TaggedLog());
    server.HandleMessage(text);
    FUZZ_CHECK(!selected.contains(QStringLiteral("Evil")),
               "a message selected a skin outside the folder");
    return 0;
}
