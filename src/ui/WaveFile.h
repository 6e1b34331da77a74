#pragma once

#include "platform/AudioOut.h"

#include <QString>
#include <optional>

class QIODevice;

// Where a WAV file's sound is: its format and the span of its "data" chunk.
struct WaveFileLayout
{
    WaveFormat Format;
    qint64 DataStart = 0;
    qint64 DataLength = 0;
};

// Reads the RIFF header, the "fmt " chunk and walks the chunks to "data". On failure `error`
// names the step: "Stream.Read(FileHeader)", "Stream.Read(Format)", "FindChunk(data)", or a
// format that is not integer PCM.
std::optional<WaveFileLayout> ParseWaveFile(QIODevice& file, QString& error);
