// The soak benchmark's helper. bench/soak drives it:
//
//   quindra_soak make FILE SECONDS VARIANT
//       writes a message of SECONDS of noise from VARIANT to FILE (a 16-bit WAV
//       or an MP3, by its extension) and what the program's decoder makes of
//       it, as raw s16 mono, to FILE.raw
//   quindra_soak first PLAYED.raw REFERENCE.raw FROM
//       prints the sample of the recording at which REFERENCE first starts
//       at or after sample FROM, or -1 when it does not (bench/drop_to_line)
//   quindra_soak judge PLAYED.raw EVENTS
//       reads what the hold device played over the whole run and the run's
//       events, one per line, fields split by tabs:
//         message NAME REFERENCE.raw [SAMPLE]
//                                      a message, in the order it goes on air,
//                                      and where the recording was when it
//                                      was dropped
//         restart SAMPLE MS            the sound server was killed at this
//                                      point of the recording and was up again
//                                      MS milliseconds later
//       and prints what was heard, then one line per goal; exits 1 when a
//       goal is missed
//
// Raw audio is s16le mono at 44100 Hz throughout; SAMPLE counts samples from
// the start of the recording.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <sndfile.h>
#include <QString>

#include "RawAudio.h"
#include "TestAudio.h"
#include "audio/pulse/FileDecoder.h"

namespace {

using quindra::bench::readRaw;
using quindra::bench::Samples;
using quindra::bench::writeRaw;

constexpr std::size_t kRate = 44100;
// Samples that make a key into the index of the references: 8 samples of
// noise are found at one place only.
constexpr std::size_t kKey = 8;
// A stretch shorter than this that matches a reference is chance, not the
// message.
constexpr std::size_t kShortestRun = 64;
// Breaks this close to a restart point belong to the restart.
constexpr std::size_t kRestartBefore = 2 * kRate;
constexpr std::size_t kRestartAfter = 2 * kRate;

[[noreturn]] void fail(const std::string& what) {
    std::cerr << "quindra_soak: " << what << '\n';
    std::exit(2);
}

double seconds(std::size_t samples) {
    return static_cast<double>(samples) / kRate;
}

std::string fixed(double v, int places = 2) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", places, v);
    return text;
}

// What the player makes of the file: the program's own decoder, in the hold
// device's format.
Samples decodeAsPlayed(const std::string& path) {
    quindra::pulse::FileDecoder decoder(QString::fromStdString(path), static_cast<int>(kRate), 1);
    Samples out;
    Samples block(4096);
    while (const std::size_t n = decoder.read(block.data(), block.size()))
        out.insert(out.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n));
    return out;
}

int make(const std::string& file, double length, std::uint32_t variant) {
    const bool mp3 = file.size() > 4 && file.substr(file.size() - 4) == ".mp3";
    const int format =
        mp3 ? SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III : SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    // Noise below 2 kHz at a level an MP3 keeps without clipping, different
    // for every variant, so each message's passes are found only as its own.
    const auto samples =
        quindra::testing::softNoise(static_cast<std::size_t>(length * kRate), variant);
    try {
        quindra::testing::writeSound(QString::fromStdString(file), format, kRate, 1, samples);
        writeRaw(file + ".raw", decodeAsPlayed(file));
    } catch (const std::exception& e) {
        fail(file + ": " + e.what());
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Judging what was played.

struct Reference {
    std::string name;
    Samples samples;
    std::optional<std::size_t> dropped;  // in the recording
};

// Where each key of kKey samples stands in the references.
class ReferenceIndex {
public:
    explicit ReferenceIndex(const std::vector<Reference>& refs) {
        for (std::size_t r = 0; r < refs.size(); ++r) {
            const Samples& s = refs[r].samples;
            for (std::size_t o = 0; o + kKey <= s.size(); ++o)
                entries_.push_back({key(s.data() + o), static_cast<std::uint32_t>(r),
                                    static_cast<std::uint32_t>(o)});
        }
        std::sort(entries_.begin(), entries_.end(),
                  [](const Entry& a, const Entry& b) { return a.key < b.key; });
    }

    static std::uint64_t key(const std::int16_t* s) {
        std::uint64_t h = 1469598103934665603ULL;
        for (std::size_t i = 0; i < kKey; ++i) {
            h ^= static_cast<std::uint16_t>(s[i]);
            h *= 1099511628211ULL;
        }
        return h;
    }

    struct Entry {
        std::uint64_t key;
        std::uint32_t ref;
        std::uint32_t offset;
    };

    std::pair<const Entry*, const Entry*> find(std::uint64_t k) const {
        const auto range =
            std::equal_range(entries_.begin(), entries_.end(), Entry{k, 0, 0},
                             [](const Entry& a, const Entry& b) { return a.key < b.key; });
        return {entries_.data() + (range.first - entries_.begin()),
                entries_.data() + (range.second - entries_.begin())};
    }

private:
    std::vector<Entry> entries_;
};

// A stretch of the recording: a run of one reference played sample for
// sample, silence (zeros), or samples that belong to no reference.
struct Segment {
    enum Kind { Run, Silence, Foreign } kind;
    std::size_t at;      // first sample in the recording
    std::size_t length;  // samples
    std::size_t ref = 0;
    std::size_t from = 0;  // first sample in the reference
};

std::vector<Segment> segments(const Samples& played, const std::vector<Reference>& refs,
                              const ReferenceIndex& index) {
    std::vector<Segment> out;
    const auto addForeign = [&](std::size_t at) {
        if (!out.empty() && out.back().kind == Segment::Foreign &&
            out.back().at + out.back().length == at)
            ++out.back().length;
        else
            out.push_back({Segment::Foreign, at, 1});
    };
    std::size_t i = 0;
    const std::size_t n = played.size();
    while (i < n) {
        if (played[i] == 0) {
            std::size_t z = i;
            while (z < n && played[z] == 0)
                ++z;
            out.push_back({Segment::Silence, i, z - i});
            i = z;
            continue;
        }
        if (i + kKey > n) {
            addForeign(i++);
            continue;
        }
        std::size_t best = 0, bestRef = 0, bestFrom = 0;
        const auto [first, last] = index.find(ReferenceIndex::key(played.data() + i));
        for (auto e = first; e != last; ++e) {
            const Samples& r = refs[e->ref].samples;
            std::size_t m = 0;
            while (i + m < n && e->offset + m < r.size() && played[i + m] == r[e->offset + m])
                ++m;
            if (m > best) {
                best = m;
                bestRef = e->ref;
                bestFrom = e->offset;
            }
        }
        const bool wholeRest =
            best > 0 && (i + best == n || bestFrom + best == refs[bestRef].samples.size());
        if (best >= kShortestRun || (best >= kKey && wholeRest)) {
            out.push_back({Segment::Run, i, best, bestRef, bestFrom});
            i += best;
        } else {
            addForeign(i++);
        }
    }
    return out;
}

struct Tally {
    std::size_t completePasses = 0;
    std::optional<std::size_t> firstHeard;
    std::size_t lastHeard = 0;
};

struct Judgement {
    std::vector<Tally> perRef;
    std::size_t joins = 0;       // seamless joins between passes
    std::size_t insertions = 0;  // gaps after which the message went on where it was
    std::size_t insertedSamples = 0;
    std::size_t unexplainedCuts = 0;  // a message cut short and not by a swap or a restart
    std::size_t foreignSamples = 0;   // outside restarts
    std::size_t swaps = 0;
    std::size_t swapsOutOfOrder = 0;
    std::size_t swapsNotFromStart = 0;
    std::size_t shortestSwapPause = SIZE_MAX, longestSwapPause = 0;
    std::vector<std::string> restarts;  // one line each
    std::size_t restartsNotBack = 0;
    std::vector<std::string> faults;  // where each fault was heard
};

std::string at(std::size_t sample) {
    return fixed(seconds(sample), 3) + " s";
}

struct Restart {
    std::size_t at;      // in the recording
    std::size_t downMs;  // how long the server was away, not in the recording
};

Judgement judge(const Samples& played, const std::vector<Reference>& refs,
                const std::vector<Restart>& restartList) {
    std::vector<std::size_t> restartPoints;
    for (const Restart& r : restartList)
        restartPoints.push_back(r.at);
    const ReferenceIndex index(refs);
    const auto segs = segments(played, refs, index);
    Judgement j;
    j.perRef.resize(refs.size());

    // The restart, if any, that a break at `from` followed by sound again at
    // `to` belongs to: the old server's last samples come just before its
    // point in the recording, the new server's first just after it.
    const auto restartNear = [&](std::size_t from, std::size_t to) -> std::optional<std::size_t> {
        for (std::size_t k = 0; k < restartPoints.size(); ++k) {
            const std::size_t p = restartPoints[k];
            if (from <= p + kRestartAfter && p <= to + kRestartBefore)
                return k;
        }
        return std::nullopt;
    };
    const auto fault = [&](const std::string& what, std::size_t sample) {
        if (j.faults.size() < 40)
            j.faults.push_back(what + " at " + at(sample));
    };

    // Complete passes: a reference from its first sample to its last in
    // runs that join with nothing between.
    constexpr std::size_t kNoPass = SIZE_MAX;
    std::size_t passRef = kNoPass;  // the reference whose pass is under way from sample 0
    std::size_t passCovered = 0;
    std::vector<bool> restartBack(restartPoints.size(), false);

    const Segment* previous = nullptr;  // the previous run
    std::size_t gap = 0, gapForeign = 0, gapAt = 0;
    for (const Segment& s : segs) {
        if (s.kind != Segment::Run) {
            if (gap == 0)
                gapAt = s.at;
            gap += s.length;
            if (s.kind == Segment::Foreign)
                gapForeign += s.length;
            continue;
        }
        const Samples& r = refs[s.ref].samples;
        Tally& t = j.perRef[s.ref];
        if (!t.firstHeard)
            t.firstHeard = s.at;
        t.lastHeard = s.at + s.length;

        bool passGoesOn = false;
        if (previous) {
            const Samples& pr = refs[previous->ref].samples;
            const std::size_t prevEnd = previous->from + previous->length;
            const bool prevWhole = prevEnd == pr.size();
            const std::size_t breakAt = previous->at + previous->length;
            const auto restart = restartNear(breakAt, s.at);
            if (restart && gap > 0 && !restartBack[*restart]) {
                restartBack[*restart] = true;
                std::ostringstream line;
                line << "restart " << (*restart + 1) << " at " << at(restartPoints[*restart])
                     << ": " << pr.size() << "-sample " << refs[previous->ref].name
                     << " broke at sample " << prevEnd << "; the server was away "
                     << restartList[*restart].downMs << " ms, then " << fixed(seconds(gap))
                     << " s of silence in the recording; then " << refs[s.ref].name
                     << " from sample " << s.from;
                if (s.ref == previous->ref && s.from == prevEnd % pr.size())
                    line << " (where it broke)";
                else if (s.from == 0)
                    line << " (its start)";
                j.restarts.push_back(line.str());
            } else if (!restart && gapForeign > 0) {
                j.foreignSamples += gapForeign;
                fault(std::to_string(gapForeign) + " samples of no message", gapAt);
            }

            if (s.ref == previous->ref) {
                const bool continues = s.from == prevEnd % r.size();
                if (continues && gap == 0) {
                    // Seamless: a join between passes or a run split by chance.
                    if (prevWhole)
                        ++j.joins;
                    passGoesOn = !prevWhole;
                } else if (continues) {
                    if (!restart) {
                        ++j.insertions;
                        j.insertedSamples += gap;
                        fault(std::to_string(gap) + " samples inserted " +
                                  (prevWhole ? "between passes" : "inside a pass"),
                              breakAt);
                    }
                } else if (!restart) {
                    ++j.unexplainedCuts;
                    fault(refs[s.ref].name + " cut at sample " + std::to_string(prevEnd) +
                              ", then heard from sample " + std::to_string(s.from),
                          breakAt);
                }
            } else {
                ++j.swaps;
                if (s.ref != previous->ref + 1) {
                    ++j.swapsOutOfOrder;
                    fault(refs[previous->ref].name + " was followed by " + refs[s.ref].name, s.at);
                }
                if (s.from != 0) {
                    ++j.swapsNotFromStart;
                    fault(refs[s.ref].name + " went on air from sample " + std::to_string(s.from),
                          s.at);
                }
                if (!restart) {
                    j.shortestSwapPause = std::min(j.shortestSwapPause, gap);
                    j.longestSwapPause = std::max(j.longestSwapPause, gap);
                }
            }
        } else if (gapForeign > 0) {
            j.foreignSamples += gapForeign;
            fault(std::to_string(gapForeign) + " samples of no message before the first", gapAt);
        }

        // Pass bookkeeping.
        if (passGoesOn && passRef == s.ref) {
            passCovered += s.length;
        } else if (s.from == 0) {
            passRef = s.ref;
            passCovered = s.length;
        } else {
            passRef = kNoPass;
        }
        if (passRef == s.ref && passCovered == r.size() && s.from + s.length == r.size()) {
            ++t.completePasses;
            passRef = kNoPass;
        }

        previous = &s;
        gap = 0;
        gapForeign = 0;
    }
    for (std::size_t k = 0; k < restartPoints.size(); ++k) {
        if (!restartBack[k]) {
            // No break was heard near it: the recording must still go on
            // with a message after it.
            bool heardAfter = false;
            for (const Segment& s : segs)
                if (s.kind == Segment::Run && s.at >= restartPoints[k]) {
                    heardAfter = true;
                    break;
                }
            j.restarts.push_back("restart " + std::to_string(k + 1) + " at " +
                                 at(restartPoints[k]) +
                                 (heardAfter ? ": no break heard" : ": nothing heard after it"));
            if (!heardAfter)
                ++j.restartsNotBack;
        }
    }
    return j;
}

int judgeRun(const std::string& playedPath, const std::string& eventsPath) {
    std::ifstream events(eventsPath);
    if (!events)
        fail("cannot read " + eventsPath);
    std::vector<Reference> refs;
    std::vector<Restart> restarts;
    std::string line;
    while (std::getline(events, line)) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        std::string field;
        while (std::getline(fields, field, '\t'))
            f.push_back(field);
        if (f.size() == 3 && f[0] == "message")
            refs.push_back({f[1], readRaw(f[2]), std::nullopt});
        else if (f.size() == 4 && f[0] == "message")
            refs.push_back({f[1], readRaw(f[2]), std::stoull(f[3])});
        else if (f.size() == 3 && f[0] == "restart")
            restarts.push_back({std::stoull(f[1]), std::stoull(f[2])});
        else if (!line.empty())
            fail("bad event line: " + line);
    }
    if (refs.empty())
        fail("no message in " + eventsPath);
    const Samples played = readRaw(playedPath);
    const Judgement j = judge(played, refs, restarts);

    std::cout << "recording: " << fixed(seconds(played.size()), 1) << " s\n";
    std::size_t passes = 0, messagesOnAir = 0, fewPasses = 0, noRoom = 0;
    std::optional<std::size_t> slowest;  // from a drop to the message on air
    for (std::size_t r = 0; r < refs.size(); ++r) {
        const Tally& t = j.perRef[r];
        passes += t.completePasses;
        std::cout << "  " << refs[r].name << " (" << fixed(seconds(refs[r].samples.size()), 3)
                  << " s): ";
        if (!t.firstHeard) {
            std::cout << "never heard\n";
            continue;
        }
        ++messagesOnAir;
        // Each message but the last is on air until the next swap; two
        // whole passes is the least a swap every half minute leaves room for,
        // unless restarts come faster than that: each starts the message
        // again, so it needs a stretch without one of two passes and the new
        // server's first second.
        std::size_t longestStretch = 0, from = *t.firstHeard;
        for (const Restart& k : restarts) {
            if (k.at <= from || k.at >= t.lastHeard)
                continue;
            longestStretch = std::max(longestStretch, k.at - from);
            from = k.at;
        }
        longestStretch = std::max(longestStretch, t.lastHeard - from);
        const bool room = longestStretch >= 2 * refs[r].samples.size() + kRate;
        if (t.completePasses < 2 && r + 1 < refs.size()) {
            if (room)
                ++fewPasses;
            else
                ++noRoom;
        }
        std::cout << "heard from " << at(*t.firstHeard) << " to " << at(t.lastHeard) << ", "
                  << t.completePasses << " complete passes";
        if (refs[r].dropped && *t.firstHeard >= *refs[r].dropped) {
            const std::size_t wait = *t.firstHeard - *refs[r].dropped;
            std::cout << ", on air " << fixed(seconds(wait), 1) << " s after its drop";
            slowest = std::max(slowest.value_or(0), wait);
        }
        std::cout << '\n';
    }
    if (slowest)
        std::cout << "slowest from a drop to the line: " << fixed(seconds(*slowest), 1) << " s\n";
    for (const auto& r : j.restarts)
        std::cout << "  " << r << '\n';
    std::cout << "complete passes: " << passes << "; seamless joins: " << j.joins << '\n';
    // A pause that a restart fell into is not the swap's alone: not measured.
    const bool pauseMeasured = j.shortestSwapPause <= j.longestSwapPause;
    std::cout << "swaps heard: " << j.swaps;
    if (pauseMeasured)
        std::cout << " (pause on the line " << fixed(seconds(j.shortestSwapPause)) << " to "
                  << fixed(seconds(j.longestSwapPause)) << " s)";
    else if (j.swaps)
        std::cout << " (each met a restart: no pause measured)";
    std::cout << '\n';
    for (const auto& f : j.faults)
        std::cout << "  fault: " << f << '\n';

    bool allMet = true;
    const auto goal = [&](const std::string& what, bool met) {
        std::cout << "goal: " << what << ": " << (met ? "met" : "MISSED") << '\n';
        allMet = allMet && met;
    };
    goal("0 samples inserted inside any pass or between passes (" +
             std::to_string(j.insertedSamples) + " in " + std::to_string(j.insertions) + " places)",
         j.insertions == 0);
    goal("no message cut short but by a swap or a restart (" + std::to_string(j.unexplainedCuts) +
             ")",
         j.unexplainedCuts == 0);
    goal("no sample of anything but a message (" + std::to_string(j.foreignSamples) + ")",
         j.foreignSamples == 0);
    goal("every message on air, in order, from its start (" + std::to_string(messagesOnAir) +
             " of " + std::to_string(refs.size()) + ", " + std::to_string(j.swapsOutOfOrder) +
             " out of order, " + std::to_string(j.swapsNotFromStart) + " not from the start)",
         messagesOnAir == refs.size() && j.swapsOutOfOrder == 0 && j.swapsNotFromStart == 0 &&
             j.swaps + 1 >= refs.size());
    goal(
        "each message but the last played at least 2 whole passes (" + std::to_string(fewPasses) +
            " fewer" +
            (noRoom ? ", " + std::to_string(noRoom) + " with no room for 2 between restarts" : "") +
            ")",
        fewPasses == 0);
    goal("the message back after every sound-server restart (" + std::to_string(j.restartsNotBack) +
             " not)",
         j.restartsNotBack == 0);
    return allMet ? 0 : 1;
}

// The first place, from `from` on, where the reference's start plays: its
// first kShortestRun samples, which no other noise shares.
int firstStart(const std::string& playedPath, const std::string& referencePath, std::size_t from) {
    const Samples played = readRaw(playedPath);
    const Samples reference = readRaw(referencePath);
    if (reference.size() < kShortestRun)
        fail(referencePath + ": too short");
    const auto begin = played.begin() + static_cast<std::ptrdiff_t>(std::min(from, played.size()));
    const auto found = std::search(begin, played.end(), reference.begin(),
                                   reference.begin() + static_cast<std::ptrdiff_t>(kShortestRun));
    std::cout << (found == played.end() ? -1 : found - played.begin()) << '\n';
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 4 && args[0] == "make")
        return make(args[1], std::stod(args[2]), static_cast<std::uint32_t>(std::stoul(args[3])));
    if (args.size() == 4 && args[0] == "first")
        return firstStart(args[1], args[2], std::stoull(args[3]));
    if (args.size() == 3 && args[0] == "judge")
        return judgeRun(args[1], args[2]);
    std::cerr << "usage: quindra_soak make FILE SECONDS VARIANT | first PLAYED.raw REFERENCE.raw "
                 "FROM | judge PLAYED.raw EVENTS\n";
    return 2;
}
