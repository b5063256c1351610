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
// the player's channel format: stereo is averaged down to mono (a mono file
// is doubled for stereo); a surround file is mixed down by its channels'
// places with the usual weights (centre at full level in mono, the front
// pair at -3 dB, the surrounds at -6 dB, no LFE), so speech on the centre
// channel keeps its level; another rate goes through libsoxr. A
// 16-bit file that is already in the channel format comes out sample for
// sample. Every file is read as floating point and brought to 16 bits with
// clipping, so float and double WAV files keep their level and a loud MP3
// whose decode overshoots full scale is clipped, never wrapped.
class FileDecoder {
public:
    // Opens the file and decodes its first block, so that a file that cannot
    // be played throws WaveError here and not later. A rate of 0 keeps the
    // file's own rate.
    FileDecoder(const QString& path, int rate, int channels);
    // Throws WaveError unless `path` names a readable, non-empty file that
    // starts as a sound file does. It reads only the first bytes, so it is
    // cheap enough for the UI thread; decoding tells the rest.
    static void checkSoundFile(const QString& path);
    FileDecoder(const FileDecoder&) = delete;
    FileDecoder& operator=(const FileDecoder&) = delete;

    // Fills up to `frames` frames and returns how many; fewer only at the end.
    std::size_t read(std::int16_t* out, std::size_t frames);
    // Every frame of the file has been read.
    bool ended() const { return finished_ && pos_ == pending_.size(); }
    // Starts again from the file's first frame, as if newly opened; throws
    // WaveError when the file cannot be read again.
    void rewind();
    // Whether any frame read so far was not silence.
    bool heardSound() const { return heard_; }
    // A read of the file failed before its end: it was cut short or broken.
    bool broken() const { return broken_; }

    const QString& path() const { return path_; }
    // The file's own sampling rate.
    int sourceRate() const { return info_.samplerate; }

private:
    struct SndfileClose {
        void operator()(SNDFILE* f) const { sf_close(f); }
    };
    struct SoxrDelete {
        void operator()(soxr_t r) const { soxr_delete(r); }
    };

    void open();
    void makeResampler();
    // Decodes the next block into pending_; false once nothing is left.
    bool refill();
    void convert(std::size_t samples);
    void remix(std::size_t frames);
    // The weight of each of the file's channels in each output channel, for
    // a file with more than two channels.
    void makeDownmix();
    void resample(const std::int16_t* in, std::size_t frames);

    QString path_;
    int channels_;
    int rate_ = 0;
    SF_INFO info_{};
    std::unique_ptr<SNDFILE, SndfileClose> file_;
    std::unique_ptr<std::remove_pointer_t<soxr_t>, SoxrDelete> resampler_;
    double ratio_ = 1.0;
    std::vector<float> decoded_;         // a block as libsndfile reads it
    std::vector<std::int16_t> raw_;      // the same block in 16 bits
    std::vector<std::int16_t> mixed_;    // that block in the output channels
    std::vector<std::int16_t> pending_;  // decoded output not yet read
    std::vector<float> downmix_;         // [output channel][file channel]
    std::size_t pos_ = 0;                // read position in pending_, in samples
    bool sourceEnded_ = false;
    bool finished_ = false;
    bool heard_ = false;
    bool broken_ = false;
    sf_count_t readFrames_ = 0;
};

}  // namespace quindra::pulse
