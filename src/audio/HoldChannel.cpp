#include "audio/HoldChannel.h"

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
      tHid_(loop.createTimer(kStartDelayMs, [this] { tHidTimer(); })) {
    c_.PlayC1.OnPlayDone = [this] { PlayC1PlayDone(); };
}

void HoldChannel::AcessaCanal() {
    const int count = c_.WaveControl1.WaveInDeviceCount();
    for (int i = 0; i < count; ++i) {
        if (state_.WindowsGeneration == 5) {
            QString capture;
            QString playback;
            bool match = false;
            // A device whose name cannot be read counts as no match; it
            // never reopens the channel on another device's names.
            try {
                const QByteArray ansi = AnsiText(c_.WaveControl1.WaveInDeviceName(i));
                capture = QString::fromLatin1(ansi);
                playback = QString::fromLatin1(QByteArray(ansi).replace(
                    QByteArrayLiteral("Microfone"), QByteArrayLiteral("Alto-falantes")));
                match = IsHoldDeviceName(capture, 5);
            } catch (const std::exception&) {
                match = false;
            }
            if (match)
                InitAudio2(c_.wCanal1, capture, playback, QStringLiteral("1"));
        } else {
            if (IsHoldDeviceName(c_.WaveControl1.WaveInDeviceName(i), state_.WindowsGeneration)) {
                InitAudio2(c_.wCanal1, QString::fromLatin1(kHoldToken),
                           QString::fromLatin1(kHoldToken), QStringLiteral("1"));
            }
            loop_.processPendingMessages();
            loop_.pause(kPauseBetweenDevicesMs);
        }
    }
}

void HoldChannel::InitAudio2(WaveControl& control, const QString& capture, const QString& playback,
                             const QString& channel) {
    try {
        control.setWaveInDevice(capture);
        control.setWaveOutDevice(playback);
    } catch (const std::exception&) {
        log_.AddMsg(QStringLiteral("Erro ao iniciar monitoração do Canal ") + channel);
    }
    control.setRecordBufferLength(kRecordBufferLength);
    if (linkViews_)
        linkViews_(&control);

    c_.PlayC1.setWaveInDevice(capture);
    c_.PlayC1.setWaveOutDevice(playback);
    c_.PlayC1.setPlayFormatID(kPlayFormatID);
    c_.PlayC1.setPlayFormatName(kPlayFormatName);

    try {
        control.SetMode(kRecorderMode);
        control.StartRecord(kRecordFlags);
    } catch (const std::exception&) {
        log_.AddMsg(QStringLiteral("Erro ao iniciar stream do canal ") + channel);
        log_.AddMsg(QStringLiteral("Erro no stream do canal 1"));
        return;
    }
    log_.AddMsg(QStringLiteral("Stream inicializado com sucesso."));
    loop_.pause(kPauseAfterOpeningMs);
}

void HoldChannel::playCurrent() {
    // A message that cannot start is silent: no line, and no end-of-file
    // event to restart it until the next start, arrival or swap.
    try {
        c_.PlayC1.PlayFile(state_.onAir.CurrentAudioFile);
    } catch (const std::exception&) {
    }
}

void HoldChannel::tHidTimer() {
    tHid_->setEnabled(false);
    AcessaCanal();
    flags_.ChannelActive = true;
    playCurrent();
}

void HoldChannel::PlayC1PlayDone() {
    if (flags_.ChannelActive && !state_.swap.ReplaySuspended)
        playCurrent();
}

void HoldChannel::hardwareUnplugged() {
    flags_.ChannelActive = false;
}

void HoldChannel::HeaderPanel1Click() {
    if (linkViews_)
        linkViews_(&c_.PlayC1);
}

}  // namespace quindra
