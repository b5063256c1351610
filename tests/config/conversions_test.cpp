#include <gtest/gtest.h>

#include <QLocale>
#include <optional>

#include "config/Conversions.h"
#include "core/LocaleFormats.h"
#include "support/TempStore.h"

namespace quindra {
namespace {

using testing::TempStore;
using testing::thrownText;

constexpr std::optional<bool> kFails = std::nullopt;

// The same text under a comma and under a period as decimal separator.
TEST(ConfigConversions, TextToBoolFollowsTheDecimalSeparator) {
    struct Case {
        const char* text;
        std::optional<bool> comma;
        std::optional<bool> period;
    };
    const Case cases[] = {
        {"-1", true, true},         {"1", true, true},           {"0", false, false},
        {" 0 ", false, false},      {"+2", true, true},          {"-0", false, false},
        {"1,5", true, kFails},      {"0,0", false, kFails},      {"0,5", true, kFails},
        {",5", true, kFails},       {"1.5", kFails, true},       {"0.0", kFails, false},
        {"1e3", true, true},        {"0E5", false, false},       {"1e-3", true, true},
        {"1e", kFails, kFails},     {"e3", kFails, kFails},      {"True", true, true},
        {"TRUE", true, true},       {"false", false, false},     {"FaLsE", false, false},
        {" True ", kFails, kFails}, {"sim", kFails, kFails},     {"", kFails, kFails},
        {"abc", kFails, kFails},    {"1,000.5", kFails, kFails}, {"- 1", kFails, kFails},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(TextToBool(text, QLatin1Char(',')), c.comma);
        EXPECT_EQ(TextToBool(text, QLatin1Char('.')), c.period);
    }
}

TEST(ConfigConversions, StrToBoolNamesTheTextItCannotRead) {
    EXPECT_TRUE(StrToBool(QStringLiteral("-1"), QLatin1Char(',')));
    EXPECT_FALSE(StrToBool(QStringLiteral("False"), QLatin1Char(',')));
    for (const QString& text : {QStringLiteral("sim"), QString(), QStringLiteral("1.5")}) {
        EXPECT_EQ(thrownText([&] { StrToBool(text, QLatin1Char(',')); }),
                  QStringLiteral("'%1' is not a valid boolean value").arg(text));
    }
}

TEST(ConfigConversions, StrToIntAcceptsOnlyA32BitDecimal) {
    struct Case {
        const char* text;
        std::optional<int> value;
    };
    const Case cases[] = {
        {"25", 25},
        {" 25 ", 25},
        {"-3", -3},
        {"+7", 7},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"2x", std::nullopt},
        {"2 5", std::nullopt},
        {"25,0", std::nullopt},
        {"0x19", std::nullopt},
        {"2147483648", std::nullopt},
        {"99999999999", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const QString text = QString::fromUtf8(c.text);
        int value = 0;
        const QString error = thrownText([&] { value = StrToInt(text); });
        if (c.value) {
            EXPECT_EQ(error, QString());
            EXPECT_EQ(value, *c.value);
        } else {
            EXPECT_EQ(error, QStringLiteral("'%1' is not a valid integer value").arg(text));
        }
    }
}

// A port outside 1..65535 fails like a text that is no number; 70000 must
// never reach the network as 70000 - 65536 = 4464.
TEST(ConfigConversions, StrToPortRefusesWhatNoPortCanBe) {
    for (const char* ok : {"1", "25", " 587 ", "+465", "65535"}) {
        SCOPED_TRACE(ok);
        EXPECT_EQ(StrToPort(QString::fromLatin1(ok)), QString::fromLatin1(ok).toInt());
    }
    for (const char* bad : {"0", "-25", "65536", "70000", "4294967321", "", "25a"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(thrownText([&] { StrToPort(QString::fromLatin1(bad)); }),
                  QStringLiteral("'%1' is not a valid integer value").arg(QLatin1String(bad)));
    }
}

// The stored text goes through the locale's separator; a missing value is
// the empty text and fails like it.
TEST(ConfigConversions, ReadBoolSettingReadsTheStoredText) {
    TempStore store;
    store.createConfigKey();
    RegistryKey key = store.configKey();
    key.writeString(QStringLiteral("SendMail"), QStringLiteral("0,5"));
    key.writeString(QStringLiteral("HardDesc"), QStringLiteral("0,0"));

    const LocaleFormats brazil(QLocale(QLocale::Portuguese, QLocale::Brazil));
    const LocaleFormats us(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_TRUE(ReadBoolSetting(key, QStringLiteral("sendmail"), brazil));
    EXPECT_FALSE(ReadBoolSetting(key, QStringLiteral("HardDesc"), brazil));
    EXPECT_EQ(thrownText([&] { ReadBoolSetting(key, QStringLiteral("SendMail"), us); }),
              QStringLiteral("'0,5' is not a valid boolean value"));
    EXPECT_EQ(thrownText([&] { ReadBoolSetting(key, QStringLiteral("TrocaMsg"), brazil); }),
              QStringLiteral("'' is not a valid boolean value"));
}

}  // namespace
}  // namespace quindra
