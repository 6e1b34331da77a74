// The WAV parser of the event sounds, on a file and on a buffer: the two seek differently past
// the end, and the player reads through a file.

#include "support/FuzzApplication.h"
#include "support/FuzzCheck.h"
#include "support/FuzzInput.h"
#include "support/ScratchFolder.h"
#include "ui/WaveFile.h"

#include <QBuffer>
#include <QFile>

namespace {

// A layout the player may trust: whole sample frames of a format it can ask for, inside the file.
void CheckLayout(const std::optional<WaveFileLayout>& layout, const QString& error, qint64 size)
{
    if (!layout) {
        FUZZ_CHECK(!error.isEmpty(), "a refusal without a reason");
        return;
    }
    const WaveFormat& format = layout->Format;
    FUZZ_CHECK(format.FormatTag == 1 && format.Channels > 0 && format.SamplesPerSec > 0,
               "a format the player cannot ask for");
    FUZZ_CHECK(format.BlockAlign > 0 && layout->DataLength % format.BlockAlign == 0,
               "data that ends inside a sample frame");
    FUZZ_CHECK(layout->DataStart >= 12 && layout->DataLength > 0 &&
                   layout->DataStart + layout->DataLength <= size,
               "data outside the file");
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

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QString bufferError;
    const std::optional<WaveFileLayout> fromBuffer = ParseWaveFile(buffer, bufferError);
    CheckLayout(fromBuffer, bufferError, bytes.size());

    QFile file(Scratch().Write(QStringLiteral("sound.wav"), bytes));
    FUZZ_CHECK(file.open(QIODevice::ReadOnly), "cannot open the scratch file");
    QString fileError;
    const std::optional<WaveFileLayout> fromFile = ParseWaveFile(file, fileError);
    CheckLayout(fromFile, fileError, bytes.size());

    FUZZ_CHECK(fromBuffer.has_value() == fromFile.has_value() && bufferError == fileError,
               "a file and a buffer of the same bytes parse differently");
    if (fromFile)
        FUZZ_CHECK(fromBuffer->DataStart == fromFile->DataStart &&
                       fromBuffer->DataLength == fromFile->DataLength,
                   "a file and a buffer of the same bytes parse differently");
    return 0;
}
