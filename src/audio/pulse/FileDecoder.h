#pragma once

#include <sndfile.h>
#include <soxr.h>

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace quindra::pulse {

// Decodes a WAV or MP3 file (libsndfile) into interleaved 16-bit frames in
// the player's channel format: several channels are averaged down to mono (a
// mono file is doubled for stereo), another rate goes through libsoxr. A file
// that is already in the channel format comes out sample for sample.
class FileDecoder {
public:
    // Opens the file and decodes its first block, so that a file that cannot
    // be played throws WaveError here and not later.
    FileDecoder(const QString& path, int rate, int channels);
    FileDecoder(const FileDecoder&) = delete;
    FileDecoder& operator=(const FileDecoder&) = delete;

    // Fills up to `frames` frames and returns how many; fewer only at the end.
    std::size_t read(std::int16_t* out, std::size_t frames);
    // Every frame of the file has been read.
    bool ended() const { return finished_ && pos_ == pending_.size(); }

    const QString& path() const { return path_; }

private:
    struct SndfileClose {
        void operator()(SNDFILE* f) const { sf_close(f); }
    };
    struct SoxrDelete {
        void operator()(soxr_t r) const { soxr_delete(r); }
    };

    // Decodes the next block into pending_; false once nothing is left.
    bool refill();
    void remix(std::size_t frames);
    void resample(const std::int16_t* in, std::size_t frames);

    QString path_;
    int channels_;
    SF_INFO info_{};
    std::unique_ptr<SNDFILE, SndfileClose> file_;
    std::unique_ptr<std::remove_pointer_t<soxr_t>, SoxrDelete> resampler_;
    double ratio_ = 1.0;
    std::vector<std::int16_t> raw_;      // a block as the file has it
    std::vector<std::int16_t> mixed_;    // that block in the output channels
    std::vector<std::int16_t> pending_;  // decoded output not yet read
    std::size_t pos_ = 0;                // read position in pending_, in samples
    bool sourceEnded_ = false;
    bool finished_ = false;
};

}  // namespace quindra::pulse
