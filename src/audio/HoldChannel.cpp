#include "audio/HoldChannel.h"

#include <QFileInfo>
#include <algorithm>
#include <utility>

#include "audio/LineStatus.h"
#include "core/MessageLog.h"
#include "core/Runtime.h"
#include "hardware/DeviceName.h"
#include "ports/WaveControl.h"

namespace quindra {

HoldChannel::HoldChannel(Controls controls, ChannelFlags& flags, const RuntimeState& state,
                         MessageLog& log, EventLoop& loop,
                         std::function<void(WaveControl*)> linkViews)
    : c_(controls),
      flags_(flags),
      state_(state),
      log_(log),
      loop_(loop),
      linkViews_(std::move(linkViews)),
      lookReport_(log),
      startTimer_(loop.createTimer(kStartDelayMs, [this] { start(); })),
      lossGrace_(loop.createTimer(kLossGraceMs, [this] { lossConfirmed(); })),
      underrunWindow_(loop.createTimer(kUnderrunWindowMs, [this] { underrunWindowEnded(); })),
      watch_(loop.createTimer(kWatchMs, [this] { watchLine(); })),
      allowedStarts_(c_.player.starts()) {
    watch_->setEnabled(true);
    c_.player.onPassEnded = [this] { passEnded(); };
    c_.player.onLost = [this](PlaybackLoss why) { playbackLost(why); };
    c_.player.onRestored = [this] { playbackRestored(); };
    c_.player.onUnderrun = [this] { underrun(); };
    c_.lister.onDevicesChanged = [this] { devicesChanged(); };
}

bool HoldChannel::openOnHoldHardware() {
    bool found = false;
    for (const QString& capture : c_.lister.captureDevices()) {
        if (!IsHoldDeviceName(capture))
            continue;
        found = true;
        QString playback = capture;
        playback.replace(QStringLiteral("Microfone"), QStringLiteral("Alto-falantes"));
        openOn(capture, playback);
    }
    return found;
}

void HoldChannel::openOn(const QString& capture, const QString& playback) {
    const DeviceChoice in = DeviceChoice::named(capture);
    const DeviceChoice out = DeviceChoice::named(playback);
    try {
        c_.monitor.open(in, out);
    } catch (const std::exception&) {
        log_.write(QStringLiteral("Erro ao iniciar monitoração do Canal 1"));
    }
    if (linkViews_)
        linkViews_(&c_.monitor);

    c_.player.open(in, out);
    c_.player.setPlayFormat(kHoldMessageFormat);

    try {
        c_.monitor.startCapture(kCaptureBufferBytes);
    } catch (const std::exception&) {
        log_.write(QStringLiteral("Erro ao iniciar stream do canal 1"));
        log_.write(QStringLiteral("Erro no stream do canal 1"));
        return;
    }
    log_.write(QStringLiteral("Stream inicializado com sucesso."));
    loop_.pause(kPauseAfterOpeningMs);
}

void HoldChannel::playCurrent() {
    // A message that cannot start is silent: no line, and no end-of-file
    // event to restart it until the next start, arrival or swap.
    try {
        c_.player.play(state_.onAir.file);
    } catch (const std::exception&) {
    }
}

void HoldChannel::start() {
    startTimer_->setEnabled(false);
    // Whoever armed the timer (start-up, an arrival, the channel itself)
    // wants the channel open: a failure from here on is the channel's to
    // mend when the hardware shows up.
    unplugged_ = false;
    if (!openOnHoldHardware()) {
        if (line_)
            line_->hardwarePresent(false);
        if (!flags_.active) {
            lookReport_.write(
                QStringLiteral("O hardware da espera não está no servidor de som; a mensagem "
                               "de espera fica fora do ar até ele aparecer."));
            silenceWritten_ = silenceWritten_ || wasOnAir_;
        }
        return;
    }
    flags_.active = true;
    wasOnAir_ = true;
    lookReport_.clear();
    playCurrent();
    allowedStarts_ = c_.player.starts();
    if (line_)
        line_->channelOpened();
    backOnAir();
}

void HoldChannel::passEnded() {
    const bool suspended = state_.swap.replaySuspended;
    // A message started while the replay was suspended is the swap's own new
    // one (or the old one it put back): it keeps looping. What was playing
    // when the suspension began, or plays off air, stops here.
    if (flags_.active && (!suspended || c_.player.starts() != allowedStarts_)) {
        playCurrent();
        if (!suspended)
            allowedStarts_ = c_.player.starts();
        return;
    }
    try {
        if (c_.player.playing())
            c_.player.stop();
    } catch (const std::exception&) {
    }
}

void HoldChannel::showPlayerOnViews() {
    if (linkViews_)
        linkViews_(&c_.player);
}

void HoldChannel::hardwareUnplugged() {
    flags_.active = false;
    unplugged_ = true;
    // The unplug writes its own line.
    pendingLoss_.reset();
    lossGrace_->setEnabled(false);
    if (line_)
        line_->channelTakenDown();
}

// The hardware's devices may have come into the sound server: a channel that
// was never opened, or whose opening found nothing, opens now. An unplugged
// channel waits for the USB arrival; a swap or a shutdown is left alone.
void HoldChannel::devicesChanged() {
    if (flags_.active || unplugged_ || state_.swap.replaySuspended || startTimer_->enabled())
        return;
    const bool listed = holdHardwareListed();
    if (line_ && listed)
        line_->hardwarePresent(true);
    if (!listed)
        return;
    lookReport_.clear();
    log_.write(QStringLiteral("O hardware da espera foi localizado."));
    log_.write(QStringLiteral("Aguarde inicializando stream."));
    startTimer_->setEnabled(true);
}

bool HoldChannel::holdHardwareListed(bool reportFailure) {
    QStringList devices;
    try {
        devices = c_.lister.captureDevices();
    } catch (const std::exception&) {
        if (!reportFailure)
            return false;
        lookReport_.write(
            QStringLiteral("O servidor de som não está disponível; o canal da espera será "
                           "aberto quando o hardware da espera aparecer nele."));
        if (line_)
            line_->soundServer(false);
        return false;
    }
    if (line_ && reportFailure)
        line_->soundServer(true);
    return std::any_of(devices.cbegin(), devices.cend(),
                       [](const QString& name) { return IsHoldDeviceName(name); });
}

void HoldChannel::playbackLost(PlaybackLoss why) {
    if (!flags_.active)
        return;
    if (why == PlaybackLoss::FileFailed) {
        failedFile_ = state_.onAir.file;
        if (line_)
            line_->messageFailed(failedFile_);
        log_.write(QStringLiteral("O arquivo de áudio %1 não pôde ser reproduzido; a mensagem de "
                                  "espera está fora do ar.")
                       .arg(QFileInfo(state_.onAir.file).fileName()));
        return;
    }
    pendingLoss_ = why;
    lossGrace_->setEnabled(true);
}

void HoldChannel::lossConfirmed() {
    lossGrace_->setEnabled(false);
    const auto why = std::exchange(pendingLoss_, std::nullopt);
    if (!why || !flags_.active)
        return;
    if (line_)
        line_->soundLost(*why == PlaybackLoss::ServerGone   ? OffAirReason::SoundServerDown
                         : *why == PlaybackLoss::DeviceGone ? OffAirReason::HardwareAbsent
                                                            : OffAirReason::SoundStopped);
    QString cause;
    switch (*why) {
        case PlaybackLoss::ServerGone:
            cause = QStringLiteral("O servidor de som parou");
            break;
        case PlaybackLoss::DeviceGone:
            cause = QStringLiteral("O dispositivo de áudio da espera saiu do servidor de som");
            break;
        case PlaybackLoss::StreamEnded:
            cause = QStringLiteral("O servidor de som encerrou o stream da mensagem");
            break;
        case PlaybackLoss::DeviceSuspended:
            cause = QStringLiteral("O dispositivo de áudio da espera foi suspenso");
            break;
        case PlaybackLoss::FileFailed:
            return;
    }
    log_.write(cause + QStringLiteral("; a mensagem de espera está fora do ar."));
    silenceWritten_ = true;
}

void HoldChannel::playbackRestored() {
    // Back before the grace ran out: the silence was short, but it happened.
    if (pendingLoss_)
        lossConfirmed();
    if (!restarting_)
        backOnAir();
}

void HoldChannel::backOnAir() {
    if (line_)
        line_->soundBack();
    if (!std::exchange(silenceWritten_, false))
        return;
    log_.write(QStringLiteral("A mensagem de espera voltou ao ar."));
}

void HoldChannel::stopWatching() {
    watch_->setEnabled(false);
}

// On air and not paused on purpose, with a message the player can play.
bool HoldChannel::shouldSound() const {
    return flags_.active && !unplugged_ && !state_.swap.replaySuspended &&
           !startTimer_->enabled() && !state_.onAir.file.isEmpty() &&
           state_.onAir.file != failedFile_;
}

void HoldChannel::watchLine() {
    const std::uint64_t frames = c_.player.framesPlayed();
    const bool moved = frames != std::exchange(lastFrames_, frames);
    if (moved && std::exchange(watchActed_, false))
        backOnAir();
    if (moved || !shouldSound()) {
        stalledLooks_ = 0;
        return;
    }
    if (++stalledLooks_ < kStalledLooks)
        return;
    stalledLooks_ = 0;
    // With the server away or the hardware gone, a start can do nothing: the
    // player brings the message on when they are back.
    if (!holdHardwareListed(false))
        return;
    // The return is written once the sound moves again, not as it starts.
    restarting_ = true;
    try {
        if (c_.player.playing())
            c_.player.stop();
        c_.player.play(state_.onAir.file);
    } catch (const std::exception&) {
        restarting_ = false;
        return;  // a message that cannot start stays silent; looked at again later
    }
    restarting_ = false;
    allowedStarts_ = c_.player.starts();
    if (std::exchange(watchActed_, true))
        return;
    const bool said = silenceWritten_ || pendingLoss_;
    if (pendingLoss_)
        lossConfirmed();
    else if (line_ && !said)
        line_->soundLost(OffAirReason::SoundStopped);
    log_.write(said ? QStringLiteral("A mensagem de espera seguia fora do ar e foi reiniciada.")
                    : QStringLiteral("A mensagem de espera estava em silêncio sem aviso e foi "
                                     "reiniciada."));
    silenceWritten_ = true;
}

void HoldChannel::underrun() {
    ++underruns_;
    if (!underrunWindow_->enabled()) {
        windowUnderruns_ = 0;
        underrunWindow_->setEnabled(true);
    }
    ++windowUnderruns_;
}

void HoldChannel::underrunWindowEnded() {
    underrunWindow_->setEnabled(false);
    if (windowUnderruns_ >= kUnderrunBurst) {
        log_.write(QStringLiteral("Falhas no som da mensagem de espera: %1 interrupções em %2 "
                                  "segundos.")
                       .arg(windowUnderruns_)
                       .arg(kUnderrunWindowMs / 1000));
    }
    windowUnderruns_ = 0;
}

}  // namespace quindra
