// How long the probe takes to decide on a dropped file: it decodes the
// whole file. bench/probe_time makes a 10-minute 44.1 kHz mono message as
// WAV, as tagged MP3 and as MP3 without a length tag, and times each.
//
//   quindra_probe_time FILE...   prints one line per file: verdict, seconds

#include <QString>
#include <chrono>
#include <cstdio>

#include "audio/pulse/SndfileProbe.h"

int main(int argc, char** argv) {
    quindra::pulse::SndfileProbe probe;
    for (int i = 1; i < argc; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        const auto verdict = probe.examine(QString::fromLocal8Bit(argv[i]));
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - t0;
        std::printf("%s verdict=%d seconds=%.3f\n", argv[i], static_cast<int>(verdict),
                    took.count());
    }
    return 0;
}
