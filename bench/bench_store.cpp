// Reading and writing the settings in a large store: 16,000 values of other keys beside the
// program's own, as a store shared by many programs over the years may hold.
#include "app/settings.h"
#include "platform/store.h"
#include "platform/store_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int kValues = 16000;

// A store file with the program's settings and `values` DWORDs under one other key.
QByteArray LargeStore(int values) {
    QByteArray text = "[Software\\TEV\\Marovellastrine]\n"
                      "AlreadyWelcome = dword:0x00000000\nAntiAliased = dword:0x00000001\n"
                      "NoOff = dword:0x00000000\nShadow = dword:0x00000001\n"
                      "Smooth = dword:0x00000000\nSkinPath = sz:\"/nowhere/skin.scs\"\n"
                      "\n[Software\\Other\\Program]\n";
    for (int i = 0; i < values; ++i)
        text += QByteArray("Value") + QByteArray::number(i) + " = dword:0x" +
                QByteArray::number(i, 16).rightJustified(8, '0') + '\n';
    return text;
}

class LargeStoreFixture {
public:
    LargeStoreFixture() {
        qputenv("XDG_CONFIG_HOME", folder_.path().toUtf8());
        const QString path = mv::StoreFilePath(mv::StoreRoot::CurrentUser);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(LargeStore(kValues));
    }

private:
    QTemporaryDir folder_;
};

// What the first read of the store at start-up costs: one parse of the whole file.
void BM_ParseStore(benchmark::State& state) {
    const QByteArray text = LargeStore(kValues);
    const std::span bytes(reinterpret_cast<const uint8_t*>(text.constData()), size_t(text.size()));
    for (auto _ : state) {
        mv::StoreDocument document;
        benchmark::DoNotOptimize(mv::ParseStoreText(bytes, document));
    }
}
BENCHMARK(BM_ParseStore)->Unit(benchmark::kMillisecond);

// Later loads, the file unchanged: read and compared, not parsed again.
void BM_LoadSettings(benchmark::State& state) {
    const LargeStoreFixture store;
    mv::Settings settings;
    for (auto _ : state) {
        mv::LoadSettings(settings);
        benchmark::DoNotOptimize(settings);
    }
}
BENCHMARK(BM_LoadSettings)->Unit(benchmark::kMillisecond);

void BM_SaveSettings(benchmark::State& state) {
    const LargeStoreFixture store;
    mv::Settings settings;
    mv::LoadSettings(settings);
    for (auto _ : state) {
        settings.Smooth = int8_t(1 - settings.Smooth);
        mv::SaveSettings(settings);
    }
}
BENCHMARK(BM_SaveSettings)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
