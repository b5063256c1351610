#include "audio/pulse/FileDecoder.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "ports/WaveControl.h"

namespace quindra::pulse {

namespace {

constexpr std::size_t kBlockFrames = 4096;

// Full scale of a 16-bit sample: libsndfile reads 16-bit PCM as x / 32768,
// so this brings it back exactly, and mpg123 uses the same scale.
constexpr float kFullScale = 32768.0f;

// A RIFF file states its own length in its first eight bytes; a file that
// is shorter than that was cut short (a copy or download that stopped).
// Writers that did not know the length leave 0 or 0xFFFFFFFF there.
bool riffCutShort(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(8);
    if (head.size() < 8 || !head.startsWith("RIFF"))
        return false;
    const auto* b = reinterpret_cast<const unsigned char*>(head.constData()) + 4;
    const std::uint32_t size = b[0] | (b[1] << 8) | (b[2] << 16) | (std::uint32_t{b[3]} << 24);
    if (size == 0 || size == 0xFFFFFFFFu)
        return false;
    return static_cast<qint64>(size) + 8 > f.size();
}

constexpr float kMinus3dB = 0.70710678f;
constexpr float kMinus6dB = 0.5f;

// A channel's weight in a mono mix and in the left and right of a stereo
// one, by its place.
struct Weights {
    float mono;
    float left;
    float right;
};

Weights weightsOf(int place) {
    switch (place) {
        case SF_CHANNEL_MAP_MONO:
        case SF_CHANNEL_MAP_CENTER:
        case SF_CHANNEL_MAP_FRONT_CENTER:
            return {1.0f, kMinus3dB, kMinus3dB};
        case SF_CHANNEL_MAP_LEFT:
        case SF_CHANNEL_MAP_FRONT_LEFT:
        case SF_CHANNEL_MAP_FRONT_LEFT_OF_CENTER:
            return {kMinus3dB, 1.0f, 0.0f};
        case SF_CHANNEL_MAP_RIGHT:
        case SF_CHANNEL_MAP_FRONT_RIGHT:
        case SF_CHANNEL_MAP_FRONT_RIGHT_OF_CENTER:
            return {kMinus3dB, 0.0f, 1.0f};
        case SF_CHANNEL_MAP_REAR_LEFT:
        case SF_CHANNEL_MAP_SIDE_LEFT:
        case SF_CHANNEL_MAP_TOP_FRONT_LEFT:
        case SF_CHANNEL_MAP_TOP_REAR_LEFT:
            return {kMinus6dB, kMinus3dB, 0.0f};
        case SF_CHANNEL_MAP_REAR_RIGHT:
        case SF_CHANNEL_MAP_SIDE_RIGHT:
        case SF_CHANNEL_MAP_TOP_FRONT_RIGHT:
        case SF_CHANNEL_MAP_TOP_REAR_RIGHT:
            return {kMinus6dB, 0.0f, kMinus3dB};
        case SF_CHANNEL_MAP_REAR_CENTER:
        case SF_CHANNEL_MAP_TOP_CENTER:
        case SF_CHANNEL_MAP_TOP_FRONT_CENTER:
        case SF_CHANNEL_MAP_TOP_REAR_CENTER:
            return {kMinus6dB, kMinus6dB * kMinus3dB, kMinus6dB * kMinus3dB};
        case SF_CHANNEL_MAP_LFE:
        default:
            return {0.0f, 0.0f, 0.0f};
    }
}

// The places of the usual layouts, in the order WAV files keep them, for a
// file that does not say.
std::vector<int> usualPlaces(int channels) {
    switch (channels) {
        case 3:
            return {SF_CHANNEL_MAP_FRONT_LEFT, SF_CHANNEL_MAP_FRONT_RIGHT,
                    SF_CHANNEL_MAP_FRONT_CENTER};
        case 4:
            return {SF_CHANNEL_MAP_FRONT_LEFT, SF_CHANNEL_MAP_FRONT_RIGHT, SF_CHANNEL_MAP_REAR_LEFT,
                    SF_CHANNEL_MAP_REAR_RIGHT};
        case 5:
            return {SF_CHANNEL_MAP_FRONT_LEFT, SF_CHANNEL_MAP_FRONT_RIGHT,
                    SF_CHANNEL_MAP_FRONT_CENTER, SF_CHANNEL_MAP_REAR_LEFT,
                    SF_CHANNEL_MAP_REAR_RIGHT};
        case 6:
            return {SF_CHANNEL_MAP_FRONT_LEFT,   SF_CHANNEL_MAP_FRONT_RIGHT,
                    SF_CHANNEL_MAP_FRONT_CENTER, SF_CHANNEL_MAP_LFE,
                    SF_CHANNEL_MAP_REAR_LEFT,    SF_CHANNEL_MAP_REAR_RIGHT};
        case 8:
            return {SF_CHANNEL_MAP_FRONT_LEFT,   SF_CHANNEL_MAP_FRONT_RIGHT,
                    SF_CHANNEL_MAP_FRONT_CENTER, SF_CHANNEL_MAP_LFE,
                    SF_CHANNEL_MAP_REAR_LEFT,    SF_CHANNEL_MAP_REAR_RIGHT,
                    SF_CHANNEL_MAP_SIDE_LEFT,    SF_CHANNEL_MAP_SIDE_RIGHT};
        default:
            return {};
    }
}

std::int16_t clipped(float v) {
    if (!std::isfinite(v))
        return 0;
    const long s = std::lrintf(v * kFullScale);
    return static_cast<std::int16_t>(std::clamp(s, -32768L, 32767L));
}

}  // namespace

FileDecoder::FileDecoder(const QString& path, int rate, int channels)
    : path_(path), channels_(channels) {
    open();
    if (info_.channels > 2 && info_.channels != channels_)
        makeDownmix();
    if (rate > 0 && info_.samplerate != rate) {
        rate_ = rate;
        makeResampler();
    }
    decoded_.resize(kBlockFrames * static_cast<std::size_t>(info_.channels));
    raw_.resize(kBlockFrames * static_cast<std::size_t>(info_.channels));
    mixed_.resize(kBlockFrames * static_cast<std::size_t>(channels_));
    while (pending_.empty() && refill()) {
    }
    if (pending_.empty()) {
        throw WaveError(QStringLiteral("O arquivo de áudio não contém som: ") + path);
    }
}

void FileDecoder::makeResampler() {
    // Without dither every pass of the loop is the same sound.
    soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
    io.flags |= SOXR_NO_DITHER;
    soxr_error_t error = nullptr;
    resampler_.reset(soxr_create(info_.samplerate, rate_, static_cast<unsigned>(channels_), &error,
                                 &io, nullptr, nullptr));
    if (!resampler_ || error) {
        throw WaveError(QStringLiteral("Não foi possível converter o arquivo de áudio %1: %2")
                            .arg(path_, QString::fromUtf8(error ? error : "soxr")));
    }
    ratio_ = static_cast<double>(rate_) / info_.samplerate;
}

void FileDecoder::makeDownmix() {
    const int in = info_.channels;
    std::vector<int> places(static_cast<std::size_t>(in));
    // Files that say nothing (or only "invalid") of their channels' places
    // keep the usual order.
    if (sf_command(file_.get(), SFC_GET_CHANNEL_MAP_INFO, places.data(),
                   static_cast<int>(places.size() * sizeof(int))) != SF_TRUE ||
        std::all_of(places.begin(), places.end(),
                    [](int place) { return place == SF_CHANNEL_MAP_INVALID; }))
        places = usualPlaces(in);
    downmix_.assign(static_cast<std::size_t>(in * channels_), 0.0f);
    bool placed = places.size() == static_cast<std::size_t>(in);
    if (placed) {
        for (int c = 0; c < in; ++c) {
            const Weights w = weightsOf(places[static_cast<std::size_t>(c)]);
            const float perOutput[2] = {channels_ == 1 ? w.mono : w.left, w.right};
            for (int o = 0; o < channels_; ++o)
                downmix_[static_cast<std::size_t>(o * in + c)] = o < 2 ? perOutput[o] : 0.0f;
        }
        placed = std::any_of(downmix_.begin(), downmix_.end(), [](float w) { return w != 0.0f; });
    }
    // Channels without known places: an even share of each in every output.
    if (!placed)
        std::fill(downmix_.begin(), downmix_.end(), 1.0f / static_cast<float>(in));
}

void FileDecoder::checkSoundFile(const QString& path) {
    const auto refuse = [&](const QString& why) {
        throw WaveError(
            QStringLiteral("Não foi possível abrir o arquivo de áudio %1: %2").arg(path, why));
    };
    if (path.isEmpty())
        refuse(QStringLiteral("nenhum arquivo"));
    QFile f(path);
    const QFileInfo info(path);
    if (!info.isFile() || !f.open(QIODevice::ReadOnly))
        refuse(QStringLiteral("o arquivo não existe ou não pode ser lido"));
    const QByteArray head = f.read(12);
    const auto byte = [&](int i) { return static_cast<unsigned char>(head.at(i)); };
    // WAV (and its relatives libsndfile reads), FLAC, Ogg, and MP3 with an
    // ID3 tag or starting at an MPEG audio frame.
    const bool sound =
        head.size() >= 4 &&
        (head.startsWith("RIFF") || head.startsWith("RIFX") || head.startsWith("RF64") ||
         head.startsWith("FORM") || head.startsWith("fLaC") || head.startsWith("OggS") ||
         head.startsWith("ID3") || (byte(0) == 0xFF && (byte(1) & 0xE0) == 0xE0));
    if (!sound)
        refuse(QStringLiteral("não é um arquivo WAV ou MP3"));
}

void FileDecoder::open() {
    SF_INFO info{};
    file_.reset(sf_open(QFile::encodeName(path_).constData(), SFM_READ, &info));
    if (!file_) {
        throw WaveError(QStringLiteral("Não foi possível abrir o arquivo de áudio %1: %2")
                            .arg(path_, QString::fromUtf8(sf_strerror(nullptr))));
    }
    if (info.channels < 1 || info.samplerate < 1 ||
        (info_.samplerate != 0 &&
         (info.channels != info_.channels || info.samplerate != info_.samplerate))) {
        throw WaveError(QStringLiteral("Arquivo de áudio inválido: ") + path_);
    }
    info_ = info;
    broken_ = broken_ || riffCutShort(path_);
}

void FileDecoder::rewind() {
    // Opened anew rather than sought: an MP3 decoder's seek to the start
    // need not give the same first samples, and every pass must.
    open();
    if (resampler_)
        makeResampler();
    pending_.clear();
    pos_ = 0;
    sourceEnded_ = false;
    finished_ = false;
    readFrames_ = 0;
}

std::size_t FileDecoder::read(std::int16_t* out, std::size_t frames) {
    const auto ch = static_cast<std::size_t>(channels_);
    std::size_t done = 0;
    while (done < frames) {
        if (pos_ == pending_.size() && !refill())
            break;
        const std::size_t take = std::min(frames - done, (pending_.size() - pos_) / ch);
        std::memcpy(out + done * ch, pending_.data() + pos_, take * ch * sizeof(std::int16_t));
        pos_ += take * ch;
        done += take;
    }
    // Decoding ahead makes ended() true as soon as the last frame is out.
    if (pos_ == pending_.size())
        refill();
    return done;
}

bool FileDecoder::refill() {
    if (finished_)
        return false;
    pending_.clear();
    pos_ = 0;
    if (!sourceEnded_) {
        // A read error in the middle of a file ends it where it broke.
        const sf_count_t n = sf_readf_float(file_.get(), decoded_.data(), kBlockFrames);
        if (n <= 0) {
            sourceEnded_ = true;
            // A decoder error, or clearly fewer frames than the file's header
            // promises: the file was cut short or is damaged. An MP3 without
            // a length tag only has an estimate of its length, off by a
            // little, hence the margin.
            const sf_count_t promised = info_.frames;
            const sf_count_t margin = std::max<sf_count_t>(promised / 50, 4608);
            if (sf_error(file_.get()) != SF_ERR_NO_ERROR ||
                (promised > 0 && promised != SF_COUNT_MAX && readFrames_ + margin < promised))
                broken_ = true;
        } else {
            const auto frames = static_cast<std::size_t>(n);
            readFrames_ += n;
            convert(frames * static_cast<std::size_t>(info_.channels));
            remix(frames);
            if (resampler_) {
                resample(mixed_.data(), frames);
            } else {
                pending_.assign(mixed_.begin(),
                                mixed_.begin() + static_cast<std::ptrdiff_t>(frames * channels_));
            }
            return true;
        }
    }
    // Past the last block only the resampler still holds output.
    if (resampler_)
        resample(nullptr, 0);
    if (pending_.empty())
        finished_ = true;
    return !finished_;
}

void FileDecoder::convert(std::size_t samples) {
    for (std::size_t i = 0; i < samples; ++i) {
        raw_[i] = clipped(decoded_[i]);
        heard_ = heard_ || raw_[i] != 0;
    }
}

void FileDecoder::remix(std::size_t frames) {
    const int in = info_.channels;
    if (in == channels_) {
        std::copy_n(raw_.begin(), frames * static_cast<std::size_t>(in), mixed_.begin());
        return;
    }
    for (std::size_t f = 0; f < frames; ++f) {
        const std::int16_t* src = raw_.data() + f * static_cast<std::size_t>(in);
        std::int16_t* dst = mixed_.data() + f * static_cast<std::size_t>(channels_);
        if (!downmix_.empty()) {
            const float* source = decoded_.data() + f * static_cast<std::size_t>(in);
            for (int o = 0; o < channels_; ++o) {
                const float* weights = downmix_.data() + static_cast<std::size_t>(o * in);
                float sum = 0.0f;
                for (int c = 0; c < in; ++c)
                    sum += weights[c] * source[c];
                dst[o] = clipped(sum);
            }
        } else if (channels_ == 1) {
            long sum = 0;
            for (int c = 0; c < in; ++c)
                sum += src[c];
            dst[0] = static_cast<std::int16_t>(std::lround(static_cast<double>(sum) / in));
        } else if (in == 1) {
            std::fill_n(dst, channels_, src[0]);
        } else {
            // More channels than the player has: keep the first ones (front
            // left and right in every usual layout).
            std::copy_n(src, channels_, dst);
        }
    }
}

void FileDecoder::resample(const std::int16_t* in, std::size_t frames) {
    const auto ch = static_cast<std::size_t>(channels_);
    std::vector<std::int16_t> out(
        (static_cast<std::size_t>(static_cast<double>(frames) * ratio_) + 1024) * ch);
    const auto append = [&](std::size_t odone) {
        pending_.insert(pending_.end(), out.begin(),
                        out.begin() + static_cast<std::ptrdiff_t>(odone * ch));
    };
    std::size_t idone = 0;
    std::size_t odone = 0;
    if (!in) {
        // End of input: what the filter still holds comes out bit by bit.
        soxr_process(resampler_.get(), nullptr, 0, nullptr, out.data(), out.size() / ch, &odone);
        append(odone);
        return;
    }
    for (std::size_t used = 0; used < frames; used += idone) {
        soxr_process(resampler_.get(), in + used * ch, frames - used, &idone, out.data(),
                     out.size() / ch, &odone);
        append(odone);
        if (idone == 0 && odone == 0)
            break;
    }
}

}  // namespace quindra::pulse
