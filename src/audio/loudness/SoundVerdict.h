#pragma once

#include <QString>

#include "audio/loudness/SoundFigures.h"

namespace quindra::loudness {

// The levels a hold message is judged by, and played at when every message
// is levelled. ITU-T G.169 and G.115 put active speech on a telephone line
// at -19 dBm0; in G.711 a sine whose peak is at full scale is +3.14 dBm0, and
// in BS.1770 that sine reads -3.0 LUFS, so -19 dBm0 is about -25 LUFS.
inline constexpr double kSpeechLevelLufs = -25.0;
// Ten LU under speech, heard as less than half as loud as the voices on the
// call.
inline constexpr double kTooQuietLufs = -35.0;
// From here the waveform between the samples reaches full scale, and the
// converter and the switchboard's codec cut it.
inline constexpr double kClipTruePeakDbtp = -0.1;
// The share of energy outside the band above which most of what was
// recorded never reaches the caller.
inline constexpr double kMostlyOutOfBand = 0.5;
// Levelling never lifts the true peak above this, so that the resampling on
// the way out does not clip.
inline constexpr double kCeilingDbtp = -1.0;
// Levelling lifts no message by more than this: beyond it a message is
// mostly its own noise.
inline constexpr double kMostBoostDb = 30.0;

// "Duração 0:32 · volume −18,4 LUFS · pico real −1,2 dBTP · 4% fora da faixa
// telefônica", in Brazilian number format.
QString FiguresLine(const SoundFigures& f);
// One line naming every fault of the message (too quiet, clipped, mostly out
// of the band); empty when it has none.
QString WarningLine(const SoundFigures& f);
// Said in place of the figures when they are not known yet.
QString AnalysisPendingLine();
QString AnalysisFailedLine(const QString& reason);

// The gain, in dB, that plays the message at kSpeechLevelLufs with its true
// peak under kCeilingDbtp.
double LevellingGainDb(const SoundFigures& f);

}  // namespace quindra::loudness
