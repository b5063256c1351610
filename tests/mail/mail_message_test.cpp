#include <gtest/gtest.h>

#include <QTimeZone>

#include "core/AppError.h"
#include "mail/MailMessage.h"

using namespace quindra;

namespace {

const QDateTime kNow(QDate(2025, 12, 9), QTime(14, 5, 9), QTimeZone(-3 * 3600));

std::string wireText(const MailMessage& m, TransferEncoding enc = TransferEncoding::EightBit) {
    return wire::dataSection(m, kNow, enc).toStdString();
}

MailMessage swapNotice() {
    MailMessage m;
    m.body << QStringLiteral("Quindra Vizudu envio de email!!!") << QStringLiteral("\r\n")
           << QStringLiteral("Ocorreu uma troca de arquivo de áudio.") << QStringLiteral("\r\n")
           << QStringLiteral("O nome do arquivo anterior é: .");
    m.from = {QStringLiteral("Quindra Vizudu"), QStringLiteral("operador@empresa.com.br")};
    m.recipients.setFromText(QStringLiteral("operador@empresa.com.br"));
    m.priority = MailPriority::Highest;
    m.subject = QStringLiteral("Quindra Vizudu troca de arquivo de áudio.");
    return m;
}

TEST(MailWire, ANoticeIsWrittenByteForByte) {
    EXPECT_EQ(wireText(swapNotice()),
              "From: \"Quindra Vizudu\" <operador@empresa.com.br>\r\n"
              "Subject: Quindra Vizudu troca de arquivo de =?ISO-8859-1?Q?=E1udio.?=\r\n"
              "To: operador@empresa.com.br\r\n"
              "Content-Type: text/plain; charset=ISO-8859-1\r\n"
              "MIME-Version: 1.0\r\n"
              "Content-Transfer-Encoding: 8bit\r\n"
              "Date: Tue, 9 Dec 2025 14:05:09 -0300\r\n"
              "X-Priority: 1\r\n"
              "\r\n"
              "Quindra Vizudu envio de email!!!\r\n"
              "\r\n"
              "\r\n"
              "Ocorreu uma troca de arquivo de \xE1udio.\r\n"
              "\r\n"
              "\r\n"
              "O nome do arquivo anterior \xE9: .\r\n");
}

TEST(MailWire, WithoutEightBitTheBodyGoesQuotedPrintable) {
    MailMessage m = swapNotice();
    EXPECT_EQ(wire::chooseEncoding(m, true), TransferEncoding::EightBit);
    EXPECT_EQ(wire::chooseEncoding(m, false), TransferEncoding::QuotedPrintable);
    m.body = QStringList{QStringLiteral("plain ascii")};
    EXPECT_EQ(wire::chooseEncoding(m, false), TransferEncoding::SevenBit);

    m.body = QStringList{QStringLiteral("áudio = ok "), QString(100, QLatin1Char('x'))};
    EXPECT_EQ(
        wire::bodyData(m, TransferEncoding::QuotedPrintable).toStdString(),
        "=E1udio =3D ok=20\r\n" + std::string(75, 'x') + "=\r\n" + std::string(25, 'x') + "\r\n");
}

TEST(MailWire, BodyItemsDotsAndLineBreaks) {
    MailMessage m;
    m.body << QStringLiteral(".") << QStringLiteral("\r\n") << QStringLiteral(".a")
           << QStringLiteral("one\r\n.\r\ntwo\nthree");
    const std::string data = wireText(m, TransferEncoding::SevenBit);
    const std::string body = data.substr(data.find("\r\n\r\n") + 4);
    // A line break inside an item is a line of its own, and its "." is
    // doubled too, so nothing in the body can end the DATA section.
    EXPECT_EQ(body, "..\r\n\r\n\r\n..a\r\none\r\n..\r\ntwo\r\nthree\r\n");

    m.body.clear();
    const std::string empty = wireText(m, TransferEncoding::SevenBit);
    EXPECT_TRUE(empty.ends_with("-0300\r\n\r\n"));  // the Date line, then nothing
}

TEST(MailWire, HeaderWords) {
    struct Case {
        const char* text;
        bool displayName;
        const char* wire;
    };
    for (const Case& c : {
             Case{"TESTE DE ENVIO DE E-MAIL Quindra Vizudu", false,
                  "TESTE DE ENVIO DE E-MAIL Quindra Vizudu"},
             // Consecutive words to encode make one encoded word.
             Case{"a ção é b", false, "a =?ISO-8859-1?Q?=E7=E3o_=E9?= b"},
             Case{"x=1? _y_ ñ", false, "x=1? _y_ =?ISO-8859-1?Q?=F1?="},
             // In a display name the address specials are escaped too.
             Case{"José (TI) Silva", true, "=?ISO-8859-1?Q?Jos=E9_=28TI=29?= Silva"},
             // Not Latin: a question mark, never bytes of another charset.
             Case{"€ 5", false, "? 5"},
             // Inside an encoded word "_" is a blank to the reader: it is
             // written as its code, so "ação_nova" never shows "ação nova".
             Case{"ação_nova", false, "=?ISO-8859-1?Q?a=E7=E3o=5Fnova?="},
         }) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(
            wire::encodeWords(wire::latin1(QString::fromUtf8(c.text)), c.displayName).toStdString(),
            c.wire);
    }
}

TEST(MailWire, LongEncodedWordsAreClosedBefore75Characters) {
    // Nineteen "=E1" fill a word to 74 characters; a twentieth would pass 75.
    QByteArray nineteen;
    for (int i = 0; i < 19; ++i)
        nineteen += "=E1";
    const QByteArray word = "=?ISO-8859-1?Q?" + nineteen + "?=";
    EXPECT_EQ(wire::encodeWords(wire::latin1(QString(40, QChar(0xE1))), false),
              word + "\r\n\t" + word + "\r\n\t=?ISO-8859-1?Q?=E1=E1?=");
    // Folded as a header, the encoded words keep their own line breaks.
    EXPECT_EQ(wire::foldHeader("Subject: " +
                               wire::encodeWords(wire::latin1(QString(20, QChar(0xE1))), false)),
              "Subject: " + word + "\r\n\t=?ISO-8859-1?Q?=E1?=\r\n");
}

// Whatever a text holds, a header line ends only where the message means it
// to: a lone CR or LF in an address, a name or the subject would start a
// header of its own (a hidden Bcc) for a server or a reader that breaks
// lines there.
TEST(MailWire, NoTextStartsAHeaderOfItsOwn) {
    MailMessage m;
    m.from = {QStringLiteral("Quindra\rBcc: nome@fora.com"),
              QStringLiteral("op@x.com\rBcc: de@fora.com")};
    m.recipients.append({QString(), QStringLiteral("op@x.com\rBcc: para@fora.com")});
    m.recipients.append({QString(), QStringLiteral("chefe@x.com\nBcc: lf@fora.com")});
    m.subject = QStringLiteral("Aviso\r\nBcc: assunto@fora.com");
    m.body << QStringLiteral("corpo");
    const QByteArray data = wire::dataSection(m, kNow, TransferEncoding::SevenBit);
    const QByteArray head = data.left(data.indexOf("\r\n\r\n") + 2);
    for (const QByteArray& line : head.split('\n')) {
        SCOPED_TRACE(line.toStdString());
        const QByteArray text = line.endsWith('\r') ? line.chopped(1) : line;
        EXPECT_FALSE(text.contains('\r'));
        EXPECT_FALSE(text.startsWith("Bcc"));
    }
}

// RFC 5322 allows 998 characters on a line: a longer body line goes out
// quoted-printable, in lines short enough, whatever the server offers.
TEST(MailWire, NoWireLineIsLongerThan998) {
    for (const int length : {998, 999, 1000, 5000}) {
        SCOPED_TRACE(length);
        MailMessage m;
        m.body << QString(length, QLatin1Char('x'));
        const TransferEncoding enc = wire::chooseEncoding(m, true);
        const QByteArray data = wire::dataSection(m, kNow, enc);
        qsizetype longest = 0;
        for (const QByteArray& line : data.split('\n'))
            longest = std::max(longest, line.size() - 1);  // without its CR
        EXPECT_LE(longest, 998);
        // A line that fits goes out as it is.
        EXPECT_EQ(data.contains(QByteArray(length, 'x')), length <= 998);
    }
}

TEST(MailWire, FoldingAt78) {
    MailMessage m;
    m.recipients.setFromText(
        QStringLiteral("primeiro@empresa.com.br, segundo@empresa.com.br, terceiro@empresa.com.br, "
                       "quarto@empresa.com.br"));
    const QList<QByteArray> headers = wire::headerLines(m, kNow, TransferEncoding::SevenBit);
    ASSERT_FALSE(headers.isEmpty());
    EXPECT_EQ(headers[0].toStdString(),
              "To: primeiro@empresa.com.br, segundo@empresa.com.br, terceiro@empresa.com.br,\r\n"
              " quarto@empresa.com.br\r\n");

    // No break inside quotes; the blank after the break point is dropped and
    // trailing blanks go.
    EXPECT_EQ(wire::foldHeader("To: \"Setor de Atendimento, Suporte e Cobranca da Empresa\" "
                               "<atendimento@empresa.com.br>")
                  .toStdString(),
              "To: \"Setor de Atendimento, Suporte e Cobranca da Empresa\"\r\n"
              " <atendimento@empresa.com.br>\r\n");
    // Nothing to break at: the line stays whole.
    const QByteArray word(90, 'w');
    EXPECT_EQ(wire::foldHeader("Subject: " + word), "Subject: " + word + "\r\n");
    // A line of 77 characters is not folded.
    const QByteArray seventySeven = "Subject: a " + QByteArray(66, 'b');
    EXPECT_EQ(wire::foldHeader(seventySeven), seventySeven + "\r\n");
}

TEST(MailWire, FromToPriorityAndDate) {
    MailMessage m;
    m.from.name = QStringLiteral("Quindra \"V\" \\ Vizudu");
    m.recipients.setFromText(QStringLiteral("\"Ana\" <ana@x.com.br>; bia@x.com.br"));
    m.priority = MailPriority::Highest;
    QList<QByteArray> h = wire::headerLines(m, kNow, TransferEncoding::SevenBit);
    EXPECT_EQ(h[0].toStdString(), "From: \"Quindra \\\"V\\\" \\\\ Vizudu\" <>\r\n");
    EXPECT_EQ(h[1].toStdString(), "To: \"Ana\" <ana@x.com.br>, bia@x.com.br\r\n");
    EXPECT_TRUE(h.contains("X-Priority: 1\r\n"));

    m.clear();
    h = wire::headerLines(m, kNow, TransferEncoding::SevenBit);
    for (const QByteArray& line : h)
        EXPECT_FALSE(line.startsWith("X-Priority") || line.startsWith("From") ||
                     line.startsWith("To") || line.startsWith("Subject"))
            << line.toStdString();

    EXPECT_EQ(
        wire::dateHeader(QDateTime(QDate(2026, 1, 4), QTime(0, 0, 1), QTimeZone(5 * 3600 + 1800))),
        "Sun, 4 Jan 2026 00:00:01 +0530");
}

// The address rule: the text, then the parsed list as "name|address" items.
TEST(MailAddresses, SetFromText) {
    struct Case {
        const char* text;
        QStringList items;
    };
    for (const Case& c : {
             Case{"", {}},
             Case{"   ", {}},
             Case{"a@x.com", {"|a@x.com"}},
             Case{"a@x.com, b@y.com", {"|a@x.com", "|b@y.com"}},
             Case{"a@x.com;b@y.com", {"|a@x.com", "|b@y.com"}},
             Case{"Ana Souza <ana@x.com>", {"Ana Souza|ana@x.com"}},
             Case{"\"Souza, Ana\" <ana@x.com>, b@y.com", {"Souza, Ana|ana@x.com", "|b@y.com"}},
             Case{"a@x.com (escritório), (só comentário)", {"|a@x.com"}},
             Case{"Equipe: a@x.com, b@y.com;", {"|a@x.com", "|b@y.com"}},
             Case{"\"Ana \\\"A\\\"\" <ana@x.com>", {"Ana \"A\"|ana@x.com"}},
             // An empty entry ended by a comma is dropped, one ended by a
             // semicolon only when it is blank.
             Case{"a@x.com,,\"\",  ;b@y.com", {"|a@x.com", "|b@y.com"}},
             Case{"\"\";a@x.com", {"|", "|a@x.com"}},
             Case{"  <a@x.com>  ", {"|a@x.com"}},
         }) {
        SCOPED_TRACE(c.text);
        MailAddressList list;
        list.setFromText(QString::fromUtf8(c.text));
        QStringList got;
        for (const MailAddress& i : list)
            got << i.name + QLatin1Char('|') + i.address;
        EXPECT_EQ(got, c.items);
    }
}

TEST(MailAddresses, AnAtSignAfterAClosedAddressFails) {
    MailAddressList list;
    list.append({QStringLiteral("old"), QStringLiteral("old@x.com")});
    try {
        list.setFromText(QStringLiteral("a@x.com, Ana <ana@x.com>@y.com, c@z.com"));
        FAIL() << "no failure";
    } catch (const AppError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("@ Outside address"));
    }
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].address, QStringLiteral("a@x.com"));
}

}  // namespace
