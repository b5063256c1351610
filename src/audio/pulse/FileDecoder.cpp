#include "audio/pulse/FileDecoder.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "ports/WaveControl.h"

namespace quindra::pulse {

namespace {

constexpr std::size_t kBlockFrames = 4096;

}  // namespace

FileDecoder::FileDecoder(const QString& path, int rate, int channels)
    : path_(path), channels_(channels) {
    file_.reset(sf_open(QFile::encodeName(path).constData(), SFM_READ, &info_));
    if (!file_) {
        throw WaveError(QStringLiteral("Não foi possível abrir o arquivo de áudio %1: %2")
                            .arg(path, QString::fromUtf8(sf_strerror(nullptr))));
    }
    if (info_.channels < 1 || info_.samplerate < 1) {
        throw WaveError(QStringLiteral("Arquivo de áudio inválido: ") + path);
    }
    if (info_.samplerate != rate) {
        const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
        soxr_error_t error = nullptr;
        resampler_.reset(soxr_create(info_.samplerate, rate, static_cast<unsigned>(channels),
                                     &error, &io, nullptr, nullptr));
        if (!resampler_ || error) {
            throw WaveError(QStringLiteral("Não foi possível converter o arquivo de áudio %1: %2")
                                .arg(path, QString::fromUtf8(error ? error : "soxr")));
        }
        ratio_ = static_cast<double>(rate) / info_.samplerate;
    }
    raw_.resize(kBlockFrames * static_cast<std::size_t>(info_.channels));
    mixed_.resize(kBlockFrames * static_cast<std::size_t>(channels_));
    while (pending_.empty() && refill()) {
    }
    if (pending_.empty()) {
        throw WaveError(QStringLiteral("O arquivo de áudio não contém som: ") + path);
    }
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
        const sf_count_t n = sf_readf_short(file_.get(), raw_.data(), kBlockFrames);
        if (n <= 0) {
            sourceEnded_ = true;
        } else {
            const auto frames = static_cast<std::size_t>(n);
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

void FileDecoder::remix(std::size_t frames) {
    const int in = info_.channels;
    if (in == channels_) {
        std::copy_n(raw_.begin(), frames * static_cast<std::size_t>(in), mixed_.begin());
        return;
    }
    for (std::size_t f = 0; f < frames; ++f) {
        const std::int16_t* src = raw_.data() + f * static_cast<std::size_t>(in);
        std::int16_t* dst = mixed_.data() + f * static_cast<std::size_t>(channels_);
        if (channels_ == 1) {
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
