// The loop-gap benchmark's helper. bench/loop_gap drives it:
//
//   quindra_loop_gap make DIR
//       writes DIR/message.wav and DIR/message.mp3 (the same ~1 s of noise)
//       and what libsndfile decodes from each, as raw s16 mono:
//       DIR/message.wav.sndfile.raw, DIR/message.mp3.sndfile.raw
//   quindra_loop_gap play FILE PASSES
//       loops FILE on "Alto-falantes (Q-ZORBE)" of the server PULSE_SERVER
//       names, with the program's own wave control, each end of a pass
//       answered from onPassEnded as the hold channel answers it, and stops
//       it half a second into the pass after the PASSES-th
//   quindra_loop_gap length FILE
//       prints how many samples the program's decoder makes of FILE
//   quindra_loop_gap analyse STREAM.raw FROM TO REFERENCE.raw ended|stopped
//       finds the passes of REFERENCE in bytes [FROM, TO) of what the sink
//       played and prints one line of key=value results; "stopped" says the
//       player was stopped during its last pass, which is then not judged
//
// Raw audio is s16le mono at 44100 Hz throughout.

#include <sndfile.h>

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "RawAudio.h"
#include "audio/pulse/PulseWaveControl.h"
#include "core/QtEventLoop.h"
#include "ports/WaveControl.h"

namespace {

using quindra::bench::readRaw;
using quindra::bench::Samples;
using quindra::bench::writeRaw;

constexpr int kRate = 44100;
// Not a multiple of any block size the decoder or the stream uses, so every
// join between passes falls inside a block.
constexpr std::size_t kPatternSamples = kRate + 123;

[[noreturn]] void fail(const std::string& what) {
    std::cerr << "quindra_loop_gap: " << what << '\n';
    std::exit(2);
}

// Band-limited noise at about -9 dBFS peak: no stretch of it repeats, so a
// pass start is found at exactly one offset, and an MP3 encoder keeps it
// without clipping on decode.
Samples pattern() {
    Samples out(kPatternSamples);
    std::uint64_t state = 0x9E3779B97F4A7C15ULL;
    double lp1 = 0.0;
    double lp2 = 0.0;
    for (auto& v : out) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        const double white =
            static_cast<double>(state >> 11) / static_cast<double>(1ULL << 53) - 0.5;
        lp1 += 0.45 * (white - lp1);
        lp2 += 0.45 * (lp1 - lp2);
        v = static_cast<std::int16_t>(std::lround(std::clamp(lp2 * 60000.0, -11000.0, 11000.0)));
    }
    // Short fades, so the MP3 has no click at its ends that would smear
    // across the join.
    const std::size_t fade = 441;
    for (std::size_t i = 0; i < fade; ++i) {
        const double g = static_cast<double>(i) / fade;
        out[i] = static_cast<std::int16_t>(std::lround(out[i] * g));
        out[out.size() - 1 - i] =
            static_cast<std::int16_t>(std::lround(out[out.size() - 1 - i] * g));
    }
    return out;
}

void writeSound(const std::string& path, int format, const Samples& s) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f)
        fail("cannot write " + path + ": " + sf_strerror(nullptr));
    if (sf_writef_short(f, s.data(), static_cast<sf_count_t>(s.size())) !=
        static_cast<sf_count_t>(s.size()))
        fail("short write to " + path);
    sf_close(f);
}

// What the program's decoder makes of the file: libsndfile's samples, read
// as floating point and clipped to 16 bits.
Samples decodeSound(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f)
        fail("cannot read " + path + ": " + sf_strerror(nullptr));
    if (info.channels != 1 || info.samplerate != kRate)
        fail(path + " is not 44100 Hz mono");
    Samples out;
    std::vector<float> block(4096);
    sf_count_t n;
    while ((n = sf_readf_float(f, block.data(), static_cast<sf_count_t>(block.size()))) > 0) {
        for (sf_count_t i = 0; i < n; ++i) {
            out.push_back(static_cast<std::int16_t>(std::clamp(
                std::lrintf(block[static_cast<std::size_t>(i)] * 32768.0f), -32768L, 32767L)));
        }
    }
    sf_close(f);
    return out;
}

int make(const std::string& dir) {
    const Samples p = pattern();
    const std::string wav = dir + "/message.wav";
    const std::string mp3 = dir + "/message.mp3";
    writeSound(wav, SF_FORMAT_WAV | SF_FORMAT_PCM_16, p);
    writeSound(mp3, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, p);
    writeRaw(wav + ".sndfile.raw", decodeSound(wav));
    const Samples mp3Decoded = decodeSound(mp3);
    writeRaw(mp3 + ".sndfile.raw", mp3Decoded);
    std::cout << "pattern_samples=" << p.size() << " mp3_decoded_samples=" << mp3Decoded.size()
              << '\n';
    return 0;
}

// The decoded length of an MP3 that another encoder left without its
// encoder-delay tag: what it adds to the message is silence at each join.
int length(const std::string& path) {
    std::cout << "decoded_samples=" << decodeSound(path).size() << '\n';
    return 0;
}

int play(const QString& path, int passes) {
    int argc = 1;
    char name[] = "quindra_loop_gap";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    quindra::QtEventLoop loop;
    loop.setUncaughtHandler([](const std::exception& e) {
        std::cerr << "quindra_loop_gap: " << e.what() << '\n';
        QCoreApplication::exit(3);
    });
    auto connection = std::make_shared<quindra::pulse::PulseConnection>(loop);
    quindra::pulse::PulseWaveControl player(connection);

    // The hold channel's own set-up of its player.
    player.open(quindra::DeviceChoice::systemDefault(),
                quindra::DeviceChoice::named(QStringLiteral("Alto-falantes (Q-ZORBE)")));
    player.setPlayFormat(quindra::kHoldMessageFormat);

    int started = 0;
    bool finished = false;
    // The player has started the next pass by itself; the end of a pass is
    // answered as the hold channel answers it. Whether the passes joined
    // shows in what the sink played.
    player.onPassEnded = [&] {
        if (finished)
            return;
        if (started == passes) {
            finished = true;
            QTimer::singleShot(500, &app, [&] {
                player.stop();
                QTimer::singleShot(1000, &app, [] { QCoreApplication::exit(0); });
            });
            return;
        }
        player.play(path);
        ++started;
    };
    QTimer::singleShot(std::chrono::seconds(passes * 3 + 15), &app, [&] {
        std::cerr << "quindra_loop_gap: the loop did not finish in time (" << started
                  << " passes started)\n";
        QCoreApplication::exit(3);
    });
    loop.run([&] {
        player.play(path);
        ++started;
    });
    const int rc = QCoreApplication::exec();
    player.onPassEnded = nullptr;
    return finished ? rc : 3;
}

// Sum of absolute differences of reference[0, n) against stream[at, at + n),
// giving up once it passes `limit`.
std::uint64_t distance(const Samples& stream, std::size_t at, const Samples& ref, std::size_t n,
                       std::uint64_t limit) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        sum += static_cast<std::uint64_t>(std::abs(stream[at + i] - ref[i]));
        if (sum > limit)
            break;
    }
    return sum;
}

struct Match {
    std::size_t at = 0;
    std::uint64_t distance = std::numeric_limits<std::uint64_t>::max();
};

// Where the reference's opening best fits stream positions [from, to].
Match bestMatch(const Samples& stream, std::size_t from, std::size_t to, const Samples& ref,
                std::size_t n) {
    Match best;
    if (stream.size() < n)
        return best;
    to = std::min(to, stream.size() - n);
    for (std::size_t at = from; at <= to; ++at) {
        const std::uint64_t d = distance(stream, at, ref, n, best.distance);
        if (d < best.distance) {
            best = {at, d};
            if (d == 0)
                break;
        }
    }
    return best;
}

int analyse(const std::string& rawPath, std::uint64_t from, std::uint64_t to,
            const std::string& refPath, bool lastCut) {
    const Samples stream = readRaw(rawPath, from, to);
    const Samples ref = readRaw(refPath);
    const std::size_t L = ref.size();
    const std::size_t window = std::min<std::size_t>(2048, L);
    if (L < 4096)
        fail("reference too short: " + refPath);

    std::uint64_t energy = 0;
    for (std::size_t i = 0; i < window; ++i)
        energy += static_cast<std::uint64_t>(std::abs(ref[i]));
    // A match whose error is more than a tenth of the opening's own level is
    // no match at all (silence, or another sound).
    const std::uint64_t accept = energy / 10;

    std::vector<std::size_t> starts;
    std::vector<std::uint64_t> openingError;
    Match first = bestMatch(stream, 0, stream.size(), ref, window);
    if (first.distance <= accept) {
        starts.push_back(first.at);
        openingError.push_back(first.distance);
        // Each next pass is looked for within a quarter second of where the
        // previous one ends.
        const std::size_t reach = kRate / 4;
        for (;;) {
            const std::size_t expected = starts.back() + L;
            if (expected + window > stream.size())
                break;
            const std::size_t lo = expected > reach ? expected - reach : 0;
            const Match m = bestMatch(stream, lo, expected + reach, ref, window);
            if (m.distance > accept)
                break;
            starts.push_back(m.at);
            openingError.push_back(m.distance);
        }
    }

    // Boundaries: where a pass starts against where the one before it ended.
    long inserted = 0;
    long lost = 0;
    std::string gaps;
    for (std::size_t k = 1; k < starts.size(); ++k) {
        const long gap = static_cast<long>(starts[k]) - static_cast<long>(starts[k - 1] + L);
        if (gap > 0)
            inserted += gap;
        else
            lost -= gap;
        if (!gaps.empty())
            gaps += ',';
        gaps += std::to_string(gap);
    }

    // Whole passes: sample for sample against the reference, and against the
    // first whole pass (do the passes repeat each other exactly?).
    std::size_t whole = 0;
    std::size_t exactToRef = 0;
    std::size_t sameAsFirst = 0;
    std::uint64_t mismatched = 0;
    int maxDiff = 0;
    const std::size_t judged = lastCut && !starts.empty() ? starts.size() - 1 : starts.size();
    for (std::size_t k = 0; k < judged; ++k) {
        if (starts[k] + L > stream.size())
            break;
        ++whole;
        std::uint64_t bad = 0;
        bool same = true;
        for (std::size_t i = 0; i < L; ++i) {
            const int d = std::abs(stream[starts[k] + i] - ref[i]);
            if (d != 0) {
                ++bad;
                maxDiff = std::max(maxDiff, d);
            }
            if (stream[starts[k] + i] != stream[starts[0] + i])
                same = false;
        }
        mismatched += bad;
        if (bad == 0)
            ++exactToRef;
        if (same)
            ++sameAsFirst;
    }

    std::cout << "pass_samples=" << L << " passes_found=" << starts.size()
              << " judged_passes=" << whole
              << " boundaries=" << (starts.empty() ? 0 : starts.size() - 1)
              << " inserted=" << inserted << " lost=" << lost
              << " gaps=" << (gaps.empty() ? "-" : gaps) << " exact_to_reference=" << exactToRef
              << " same_as_first=" << sameAsFirst << " mismatched_samples=" << mismatched
              << " max_diff=" << maxDiff << '\n';
    return 0;
}

std::uint64_t number(const char* s) {
    char* end = nullptr;
    const auto v = std::strtoull(s, &end, 10);
    if (!end || *end != '\0')
        fail(std::string("not a number: ") + s);
    return v;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd == "make" && argc == 3)
        return make(argv[2]);
    if (cmd == "length" && argc == 3)
        return length(argv[2]);
    if (cmd == "play" && argc == 4)
        return play(QString::fromLocal8Bit(argv[2]), static_cast<int>(number(argv[3])));
    if (cmd == "analyse" && argc == 7 &&
        (std::string(argv[6]) == "ended" || std::string(argv[6]) == "stopped"))
        return analyse(argv[2], number(argv[3]), number(argv[4]), argv[5],
                       std::string(argv[6]) == "stopped");
    std::cerr << "usage: quindra_loop_gap make DIR | length FILE | play FILE PASSES |"
                 " analyse STREAM.raw FROM TO REFERENCE.raw ended|stopped\n";
    return 2;
}
