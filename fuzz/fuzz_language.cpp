// A language file in the program folder: listed, opened and every text looked up.

#include "res/MRes.h"
#include "support/FuzzApplication.h"
#include "support/FuzzCheck.h"
#include "support/FuzzInput.h"
#include "support/ScratchFolder.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    StartFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Scratch().Write(QStringLiteral("Fuzz.lng"), FuzzBytes(data, size));
    TMRes res(Scratch().Path());
    const QStringList languages = res.ListLanguages();
    FUZZ_CHECK(languages.size() == 1, "the one language file is not listed once");
    res.CodeOfLanguage(languages.first());
    FUZZ_CHECK(res.OpenLanguage(languages.first()), "a listed language does not open");
    for (const auto& [code, text] : res.Texts())
        FUZZ_CHECK(!res.GetText(code).startsWith(QStringLiteral("(NoData:")) ||
                       text.startsWith(QStringLiteral("(NoData:")),
                   "a text that was read is not found");
    res.GetText(QStringLiteral("C0100"));
    res.GetText(QStringLiteral("R0699"));
    return 0;
}
