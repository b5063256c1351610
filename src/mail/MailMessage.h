#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace quindra {

// One address of a message: a display name (may be empty) and the address.
struct TMailAddressItem {
    QString Name;
    QString Address;
    bool operator==(const TMailAddressItem&) const = default;
};

class TMailAddressList : public QList<TMailAddressItem> {
public:
    // Replaces the list by the addresses of an operator's text such as
    // "ana@x.com.br; \"Suporte\" <suporte@x.com.br>". Throws "@ Outside
    // address" for an at sign after an address closed by '>'; what was
    // parsed before stays in the list.
    void AssignAddressText(const QString& text);
};

enum class TMailPriority { mpHighest, mpHigh, mpNormal, mpLow, mpLowest };

// The mail message that the notices and the settings test fill and the SMTP
// client writes out. Texts are held as Unicode; the wire form is Latin-1.
class TMailMessage {
public:
    TMailAddressItem From;
    TMailAddressList Recipients;
    TMailAddressList CCList;
    TMailAddressList BccList;
    QString Subject;
    TMailPriority Priority = TMailPriority::mpNormal;
    // Items may themselves hold line breaks; "\r\n" alone is an item too.
    QStringList Body;
    // Invalid means "the moment the header lines are built".
    QDateTime Date;
    QList<QPair<QString, QString>> ExtraHeaders;

    void Clear();
    bool isEmpty() const;
    void setExtraHeader(const QString& name, const QString& value);
};

// How the body travels: 7bit when it is plain ASCII, 8bit when the server
// accepts 8-bit data (8BITMIME), quoted-printable otherwise.
enum class TransferEncoding { SevenBit, EightBit, QuotedPrintable };

// The wire form of a message, as the SMTP client writes it after DATA.
namespace wire {

// The single-byte Latin form of a text; a character it cannot hold goes out
// as '?', so the bytes always match the charset the message declares.
QByteArray Latin1(const QString& text);

// A header value with encoded words where a word holds a byte outside
// printable ASCII (in a display name also an address special).
QByteArray EncodeWords(const QByteArray& value, bool displayName);
// An address as the From and To headers show it.
QByteArray FormatAddress(const TMailAddressItem& item);
// "Name: value", folded at 78 characters, each line ended by CR LF.
QByteArray FoldHeader(const QByteArray& line);
// "Tue, 9 Dec 2025 14:05:09 -0300"
QByteArray DateHeader(const QDateTime& local);

// The header lines as they are written, without the empty line after them.
QList<QByteArray> HeaderLines(const TMailMessage& m, const QDateTime& now, TransferEncoding enc);
// The body bytes, each line ended by CR LF.
QByteArray BodyData(const TMailMessage& m, TransferEncoding enc);
// The transfer encoding a body needs on a server with or without 8BITMIME.
TransferEncoding ChooseEncoding(const TMailMessage& m, bool server8BitMime);
// Everything written after DATA and before the final ".": headers, the empty
// line and the body, with every line that begins with "." given another.
QByteArray DataSection(const TMailMessage& m, const QDateTime& now, TransferEncoding enc);

}  // namespace wire

}  // namespace quindra
