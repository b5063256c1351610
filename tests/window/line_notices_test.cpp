#include <gtest/gtest.h>

#include <vector>

#include "window/LineNotices.h"
#include "window/LineTexts.h"

using namespace quindra;

namespace {

const QString kPromo = QStringLiteral("/opt/quindra/Audio/promo.wav");

LineState onAir(std::optional<qint64> ms = 83000) {
    return {.onAir = true,
            .reason = OffAirReason::None,
            .file = kPromo,
            .durationMs = ms,
            .hardwarePresent = true};
}
LineState offAir(OffAirReason why, bool onPurpose = false) {
    return {.onAir = false,
            .reason = why,
            .onPurpose = onPurpose,
            .file = kPromo,
            .durationMs = 83000,
            .hardwarePresent = why != OffAirReason::HardwareAbsent};
}

TEST(LineTexts, TheBandSaysTheStateTheMessageAndItsLength) {
    const struct {
        LineState line;
        const char* text;
    } cases[] = {
        {onAir(), "No ar · promo.wav · 1:23"},
        {onAir(59500), "No ar · promo.wav · 1:00"},
        {onAir(3600000 + 5000), "No ar · promo.wav · 60:05"},
        {onAir(400), "No ar · promo.wav · 0:00"},
        {onAir(std::nullopt), "No ar · promo.wav"},
        {offAir(OffAirReason::HardwareAbsent), "Fora do ar · hardware desconectado"},
        {offAir(OffAirReason::NoMessage), "Fora do ar · sem mensagem na pasta"},
        {offAir(OffAirReason::SoundServerDown), "Fora do ar · servidor de som indisponível"},
        {offAir(OffAirReason::Swapping, true), "Fora do ar · trocando a mensagem"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LineText(c.line), QString::fromUtf8(c.text));

    EXPECT_EQ(LineToolTip(onAir()), QStringLiteral("No ar · promo.wav · 1:23"));
    EXPECT_EQ(LineToolTip(offAir(OffAirReason::HardwareAbsent)),
              QStringLiteral("Fora do ar · hardware desconectado\nMensagem: promo.wav"));
    LineState none = offAir(OffAirReason::NoMessage);
    none.file.clear();
    EXPECT_EQ(LineToolTip(none), QStringLiteral("Fora do ar · sem mensagem na pasta"));
}

TEST(LineTexts, EveryReasonHasAPhrase) {
    for (OffAirReason r :
         {OffAirReason::HardwareAbsent, OffAirReason::NoMessage, OffAirReason::SoundServerDown,
          OffAirReason::Swapping, OffAirReason::MessageUnplayable, OffAirReason::SoundStopped,
          OffAirReason::LineTaken, OffAirReason::Opening, OffAirReason::Closing})
        EXPECT_FALSE(OffAirPhrase(r).isEmpty()) << static_cast<int>(r);
}

class RecordingSender final : public NoticeSender {
public:
    void send(const DesktopNotice& n) override {
        sent << n.summary + QStringLiteral(": ") + n.body;
    }
    QStringList sent;
};

const QString kOff = QStringLiteral("Mensagem de espera fora do ar: ");
const QString kBack = QStringLiteral("Mensagem de espera de volta ao ar: ");

TEST(LineNotices, OnlyAnUnexpectedSilenceAndItsEndAreTold) {
    const struct {
        const char* what;
        std::vector<LineState> states;
        QStringList sent;
    } cases[] = {
        {"off air from the start: never on air, nothing to tell",
         {offAir(OffAirReason::Opening, true), offAir(OffAirReason::HardwareAbsent)},
         {}},
        {"unplugged and back",
         {onAir(), offAir(OffAirReason::HardwareAbsent), offAir(OffAirReason::Opening, true),
          onAir()},
         {kOff + QStringLiteral("Hardware desconectado."),
          kBack + QStringLiteral("No ar · promo.wav · 1:23")}},
        {"a swap's pause is on purpose",
         {onAir(), offAir(OffAirReason::Swapping, true), onAir()},
         {}},
        {"a swap whose new message cannot play",
         {onAir(), offAir(OffAirReason::Swapping, true), offAir(OffAirReason::MessageUnplayable)},
         {kOff + QStringLiteral("Mensagem não reproduzível.")}},
        {"one notice while off air, whatever the reasons",
         {onAir(), offAir(OffAirReason::SoundServerDown), offAir(OffAirReason::HardwareAbsent)},
         {kOff + QStringLiteral("Servidor de som indisponível.")}},
        {"the program's end", {onAir(), offAir(OffAirReason::Closing, true)}, {}},
    };
    for (const auto& c : cases) {
        RecordingSender sender;
        LineNotices notices(sender);
        for (const LineState& s : c.states)
            notices.lineChanged(s);
        EXPECT_EQ(sender.sent, c.sent) << c.what;
    }
}

}  // namespace
