#include <gtest/gtest.h>

#include "core/ShownName.h"

using namespace quindra;

namespace {

// What a name may hold that would break a line, or forge one, and how it
// is shown; everything else is the name as it is.
TEST(ShownName, ControlCharactersAndLineBreaksAreShownEscaped) {
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("Promoção de Natal.v2.wav"), QStringLiteral("Promoção de Natal.v2.wav")},
        {QStringLiteral("x\n01/01/2026 - 00:00:00 - Troca.wav"),
         QStringLiteral("x\\n01/01/2026 - 00:00:00 - Troca.wav")},
        {QStringLiteral("a\rb\tc.wav"), QStringLiteral("a\\rb\\tc.wav")},
        {QStringLiteral("cor\x1b[31m.wav"), QStringLiteral("cor\\x1b[31m.wav")},
        {QString(QChar(0x7f)) + QChar(0x85), QStringLiteral("\\x7f\\x85")},
        {QStringLiteral("linha") + QChar(0x2028) + QStringLiteral("nova") + QChar(0x2029),
         QStringLiteral("linha\\u2028nova\\u2029")},
        {QStringLiteral("/home/op/Vizudu Telefônica"),
         QStringLiteral("/home/op/Vizudu Telefônica")},
    };
    for (const auto& [name, shown] : cases)
        EXPECT_EQ(ShownName(name), shown) << name.toStdString();
}

}  // namespace
