#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace quindra {

// One address of a message: a display name (may be empty) and the address.
struct MailAddress {
    QString name;
    QString address;
    bool operator==(const MailAddress&) const = default;
};

class MailAddressList : public QList<MailAddress> {
public:
    // Replaces the list by the addresses of an operator's text such as
    // "ana@x.com.br; \"Suporte\" <suporte@x.com.br>". Throws "@ Outside
    // address" for an at sign after an address closed by '>'; what was
    // parsed before stays in the list.
    void setFromText(const QString& text);
};

enum class MailPriority { Highest, High, Normal, Low, Lowest };

// The mail message that the notices and the settings test fill and the SMTP
// client writes out. Texts are held as Unicode; the wire form is Latin-1.
class MailMessage {
public:
    MailAddress from;
    MailAddressList recipients;
    MailAddressList cc;
    MailAddressList bcc;
    QString subject;
    MailPriority priority = MailPriority::Normal;
    // Items may themselves hold line breaks; "\r\n" alone is an item too.
    QStringList body;
    // Invalid means "the moment the header lines are built".
    QDateTime date;
    QList<QPair<QString, QString>> extraHeaders;

    void clear();
    bool isEmpty() const;
    // Whether the sender's or a recipient's address holds a control
    // character, which no mail may carry into its envelope or headers.
    bool holdsUnsafeAddress() const;
    void setExtraHeader(const QString& name, const QString& value);
};

// A Message-ID of its own for each mail composed: "<unique@host>". A host
// name that is no plain dot-atom is replaced by "localhost".
QString NewMessageId(const QString& host);

// How the body travels: 7bit when it is plain ASCII, 8bit when the server
// accepts 8-bit data (8BITMIME), quoted-printable otherwise.
enum class TransferEncoding { SevenBit, EightBit, QuotedPrintable };

// The wire form of a message, as the SMTP client writes it after DATA.
namespace wire {

// The single-byte Latin form of a text; a character it cannot hold goes out
// as '?', so the bytes always match the charset the message declares.
QByteArray latin1(const QString& text);

// A header value with encoded words where a word holds a byte outside
// printable ASCII (in a display name also an address special).
QByteArray encodeWords(const QByteArray& value, bool displayName);
// An address as the From and To headers show it.
QByteArray formatAddress(const MailAddress& item);
// "Name: value", folded at 78 characters, each line ended by CR LF.
QByteArray foldHeader(const QByteArray& line);
// "Tue, 9 Dec 2025 14:05:09 -0300"
QByteArray dateHeader(const QDateTime& local);

// The header lines as they are written, without the empty line after them.
QList<QByteArray> headerLines(const MailMessage& m, const QDateTime& now, TransferEncoding enc);
// The body bytes, each line ended by CR LF.
QByteArray bodyData(const MailMessage& m, TransferEncoding enc);
// The transfer encoding a body needs on a server with or without 8BITMIME.
TransferEncoding chooseEncoding(const MailMessage& m, bool server8BitMime);
// Everything written after DATA and before the final ".": headers, the empty
// line and the body, with every line that begins with "." given another.
QByteArray dataSection(const MailMessage& m, const QDateTime& now, TransferEncoding enc);

}  // namespace wire

}  // namespace quindra
