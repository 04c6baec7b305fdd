// How often the main window answers during an upload run: a real window (offscreen) uploads to
// the hoster emulator on 127.0.0.1 (a) many small images and (b) a batch of 12-megapixel
// photos, as they are, stripped and shrunk to 1600 pixels, while a zero-interval timer records
// every turn of the event loop. Prints the 99th percentile, the longest and the mean gap between
// two turns for each case; a window that must follow a drag wants the 99th percentile within a
// frame (16 ms) and no gap over two (33 ms). Run through run_gaps.sh.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QLocale>
#include <QRandomGenerator>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/ui/main_window.h"
#include "hoster_emulator/hoster_emulator.h"
#include "imagelist/ui/image_list_panel.h"
#include "session/session.h"
#include "shell/config_paths.h"
#include "support/jpeg_maker.h"
#include "support/temp_dir.h"
#include "support/ui/fake_dialogs.h"
#include "support/ui/find_widget.h"

namespace {

struct Gaps {
    double p99Ms = 0;
    double longestMs = 0;
    double meanMs = 0;
    long turns = 0;
    double totalMs = 0;
};

Gaps Summarise(std::vector<double> gapsMs, double totalMs) {
    Gaps gaps;
    gaps.turns = static_cast<long>(gapsMs.size());
    gaps.totalMs = totalMs;
    if (gapsMs.empty()) return gaps;
    std::sort(gapsMs.begin(), gapsMs.end());
    gaps.longestMs = gapsMs.back();
    gaps.p99Ms = gapsMs[(gapsMs.size() - 1) * 99 / 100];
    gaps.meanMs = totalMs / static_cast<double>(gapsMs.size());
    return gaps;
}

// A photo-like picture: noise over a gradient, so it compresses as a camera's file does.
void WritePhoto(const std::string& path, int seed) {
    constexpr int kWidth = 4000;
    constexpr int kHeight = 3000;
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QRandomGenerator random(static_cast<quint32>(seed));
    for (int y = 0; y < kHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            const int noise = static_cast<int>(random.bounded(48));
            line[x] = qRgb((x * 200 / kWidth + noise) & 255, (y * 200 / kHeight + noise) & 255,
                           (seed * 40 + noise) & 255);
        }
    }
    image.save(QString::fromStdString(path), "JPG", 85);
}

// `bilder`: further lines of Lumar.ini's [Bilder] section, e.g. how pictures are processed.
Gaps UploadAndWatch(const std::string& pictures, const std::string& bilder = "") {
    lumar::test::TempDir dir;
    lumar::tools::HosterEmulator emulator;
    lumar::InitConfigFolder(dir.path());
    dir.write("hosters.ini", emulator.HostersIni());
    dir.write("Lumar.ini", "[Bilder]\r\nAnbieter=2\r\nTimeout=60\r\nForm=0\r\n" + bilder);
    lumar::ui::MainWindowHooks hooks;
    hooks.dialogs = std::make_shared<lumar::test::FakeDialogs>();
    hooks.trayAvailable = [] { return false; };
    lumar::Session session(lumar::SessionPaths::FromConfigFolder());
    lumar::ui::MainWindow window(session, hooks);
    window.Start();
    window.show();
    window.ListPanel()->AddDroppedPaths({QString::fromStdString(pictures)});
    QApplication::processEvents();

    std::vector<double> gapsMs;
    QElapsedTimer clock;
    QTimer ticker;
    ticker.setInterval(0);
    qint64 last = 0;
    const auto recordGap = [&] {
        const qint64 now = clock.nsecsElapsed();
        gapsMs.push_back(static_cast<double>(now - last) / 1e6);
        last = now;
    };
    // The run goes on on this loop after the click; a second timer sees it end.
    QEventLoop loop;
    QTimer watcher;
    watcher.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, recordGap);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!window.UploadRunning()) loop.quit();
    });
    clock.start();
    ticker.start();
    watcher.start();
    lumar::test::Click(&window, "cmUpload");
    loop.exec();
    recordGap();
    ticker.stop();
    const Gaps gaps = Summarise(std::move(gapsMs), static_cast<double>(clock.nsecsElapsed()) / 1e6);
    if (emulator.Uploads().empty()) {
        std::fprintf(stderr, "nothing was uploaded\n");
        std::exit(1);
    }
    return gaps;
}

void Print(const char* what, const Gaps& gaps) {
    std::printf("  %-34s run %8.1f ms, %6ld turns, gap p99 %5.1f ms, max %6.1f ms, mean %5.2f ms\n",
                what, gaps.totalMs, gaps.turns, gaps.p99Ms, gaps.longestMs, gaps.meanMs);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const int smallCount = argc > 1 ? std::atoi(argv[1]) : 100;
    const int photoCount = argc > 2 ? std::atoi(argv[2]) : 20;
    lumar::test::TempDir pictures;

    const std::string small = pictures.file("small");
    for (int i = 0; i < smallCount; ++i)
        lumar::test::WriteJpeg(small + "/img" + std::to_string(i) + ".jpg", 640, 480);
    Print((std::to_string(smallCount) + " small images").c_str(), UploadAndWatch(small));
    Print("  stripped and shrunk to 320 px", UploadAndWatch(small, "Strip=1\r\nMaxSide=320\r\n"));

    // Two distinct photos copied (not linked: the list takes a file once however it is named).
    const std::string photos = pictures.file("photos");
    std::filesystem::create_directories(photos);
    WritePhoto(photos + "/seed0.jpg", 0);
    WritePhoto(photos + "/seed1.jpg", 1);
    for (int i = 2; i < photoCount; ++i)
        std::filesystem::copy_file(photos + "/seed" + std::to_string(i % 2) + ".jpg",
                                   photos + "/photo" + std::to_string(i) + ".jpg");
    const auto photoBytes = std::filesystem::file_size(photos + "/seed0.jpg");
    const std::string batch = std::to_string(photoCount) + " photos of 12 MP (" +
                              std::to_string(photoBytes / 1024 / 1024) + " MB each)";
    Print(batch.c_str(), UploadAndWatch(photos));
    Print("  stripped", UploadAndWatch(photos, "Strip=1\r\n"));
    Print("  shrunk to 1600 px", UploadAndWatch(photos, "MaxSide=1600\r\n"));
    Print("  stripped and shrunk to 1600 px",
          UploadAndWatch(photos, "Strip=1\r\nMaxSide=1600\r\n"));
    return 0;
}
