// Installing a 2 MiB skin package, the confirmation answered at once: the check, the descriptor,
// the payload with its folders, the search for the skin file and the Local Talk hand-off (to a
// port nobody listens on).
#include "addin/PmaInst.h"
#include "platform/Dialogs.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <benchmark/benchmark.h>
#include <random>

namespace {

class SilentDialogs : public Dialogs
{
protected:
    DialogAnswer Present(DialogType, const QString&, DialogButtons) override { return DialogAnswer::Ok; }
};

quint16 Crc16(const QByteArray& data)
{
    quint16 crc = 0;
    for (char c : data) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<quint16>((crc >> 1) ^ 0xA001) : static_cast<quint16>(crc >> 1);
    }
    return crc;
}

// A stored entry with a level-0 header, as the LHA format lays it out.
QByteArray StoredEntry(const QByteArray& name, const QByteArray& data)
{
    QByteArray body = "-lh0-";
    char word[4];
    qToLittleEndian<quint32>(static_cast<quint32>(data.size()), word);
    body.append(word, 4).append(word, 4);
    body.append("\x00\x60\x21\x50", 4); // 12:00, 2020-01-01
    body.append("\x20\x00", 2);
    body.append(static_cast<char>(name.size())).append(name);
    char crc[2];
    qToLittleEndian<quint16>(Crc16(data), crc);
    body.append(crc, 2);
    unsigned sum = 0;
    for (char c : body)
        sum += static_cast<unsigned char>(c);
    QByteArray header;
    header.append(static_cast<char>(body.size())).append(static_cast<char>(sum & 0xFF));
    return header + body + data;
}

void BM_InstallSkinPackage(benchmark::State& state)
{
    QTemporaryDir folder;
    std::mt19937 random(7);
    QByteArray package = StoredEntry("pma.$$$", "[PulsmirAddin]\r\nComponent=SKIN\r\nName=Big\r\n");
    package += StoredEntry("Big.ini", "[Pulsmir2_Skin]\r\nSkinName=Big\r\n");
    for (int i = 0; i < 16; ++i) {
        QByteArray picture(128 * 1024, Qt::Uninitialized);
        for (char& c : picture)
            c = static_cast<char>(random());
        package += StoredEntry("Big\\picture" + QByteArray::number(i) + ".png", picture);
    }
    package.append('\0');
    const QString file = folder.filePath(QStringLiteral("Big.pma"));
    QFile out(file);
    out.open(QIODevice::WriteOnly);
    out.write(package);
    out.close();
    state.counters["bytes"] = static_cast<double>(package.size());

    SilentDialogs dialogs;
    for (auto _ : state) {
        TPmaInst installer(folder.path(), dialogs, [](const QString&) { return true; }, TaggedLog());
        installer.LocalTalkPort = 9; // discard: nobody listens
        if (!installer.Install(file) || !installer.IsSkin) {
            state.SkipWithError("the package did not install");
            break;
        }
    }
}
BENCHMARK(BM_InstallSkinPackage)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
