#include "mail/MailMessage.h"

#include <QRandomGenerator>

#include "core/AppError.h"
#include "mail/MailFailure.h"

namespace quindra {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isAddressSpecial(char c) {
    return QByteArrayView("()[]<>@,;:\\.\"").contains(c);
}

bool printable(unsigned char c) {
    return c >= 32 && c <= 126;
}

QByteArray rightTrimmed(QByteArray s) {
    while (!s.isEmpty() && isBlank(s.back()))
        s.chop(1);
    return s;
}

// Header values are single lines: a line break in a value would start a
// header (or end the headers) of its own.
QByteArray headerValue(const QString& text) {
    QByteArray v = wire::latin1(text);
    v.replace('\r', ' ').replace('\n', ' ');
    return v;
}

void appendHex(QByteArray& out, unsigned char c) {
    static const char kHex[] = "0123456789ABCDEF";
    out += '=';
    out += kHex[c >> 4];
    out += kHex[c & 15];
}

}  // namespace

void MailAddressList::setFromText(const QString& text) {
    clear();
    enum class At { Name, Address, Closed };
    QString raw, outside, inside;
    At at = At::Name;
    bool quoted = false, escaped = false;
    int comment = 0;

    const auto reset = [&] {
        raw.clear();
        outside.clear();
        inside.clear();
        at = At::Name;
    };
    // ',' drops an entry that yields nothing, ';' only a blank one.
    const auto finish = [&](QChar end) {
        MailAddress item;
        if (at == At::Name) {
            item.address = outside.trimmed();
        } else {
            item.name = outside.trimmed();
            item.address = inside.trimmed();
        }
        const bool keep = end == QLatin1Char(';') ? !raw.trimmed().isEmpty()
                                                  : !item.name.isEmpty() || !item.address.isEmpty();
        if (keep)
            append(item);
        reset();
    };
    const auto take = [&](QChar c) {
        if (at == At::Name)
            outside += c;
        else if (at == At::Address)
            inside += c;
    };

    if (text.trimmed().isEmpty())
        return;
    for (const QChar c : text) {
        if (escaped) {
            escaped = false;
            raw += c;
            if (comment == 0)
                take(c);
            continue;
        }
        if (c == QLatin1Char('\\')) {
            escaped = true;
            raw += c;
            continue;
        }
        if (quoted) {
            raw += c;
            if (c == QLatin1Char('"'))
                quoted = false;
            else
                take(c);
            continue;
        }
        if (comment > 0) {
            raw += c;
            if (c == QLatin1Char('('))
                ++comment;
            else if (c == QLatin1Char(')'))
                --comment;
            continue;
        }
        if (c == QLatin1Char(',') || c == QLatin1Char(';')) {
            finish(c);
            continue;
        }
        raw += c;
        if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char('(')) {
            comment = 1;
        } else if (c == QLatin1Char(':') && at != At::Address) {
            reset();  // a group name
        } else if (c == QLatin1Char('<') && at == At::Name) {
            at = At::Address;
        } else if (c == QLatin1Char('>') && at == At::Address) {
            at = At::Closed;
        } else if (c == QLatin1Char('@') && at == At::Closed) {
            throw AppError(QStringLiteral("@ Outside address"));
        } else {
            take(c);
        }
    }
    finish(QLatin1Char(','));
}

void MailMessage::clear() {
    from = {};
    recipients.clear();
    cc.clear();
    bcc.clear();
    subject.clear();
    priority = MailPriority::Normal;
    body.clear();
    date = {};
    extraHeaders.clear();
}

bool MailMessage::isEmpty() const {
    return from.name.isEmpty() && from.address.isEmpty() && recipients.isEmpty() && cc.isEmpty() &&
           bcc.isEmpty() && subject.isEmpty() && body.isEmpty();
}

bool MailMessage::holdsUnsafeAddress() const {
    if (HoldsControlCharacter(from.address))
        return true;
    for (const MailAddressList* list : {&recipients, &cc, &bcc})
        for (const MailAddress& item : *list)
            if (HoldsControlCharacter(item.address))
                return true;
    return false;
}

void MailMessage::setExtraHeader(const QString& name, const QString& value) {
    for (qsizetype i = 0; i < extraHeaders.size(); ++i) {
        if (extraHeaders[i].first.compare(name, Qt::CaseInsensitive) == 0) {
            if (value.isEmpty())
                extraHeaders.removeAt(i);
            else
                extraHeaders[i].second = value;
            return;
        }
    }
    if (!value.isEmpty())
        extraHeaders.append({name, value});
}

QString NewMessageId(const QString& host) {
    bool plain = !host.isEmpty() && !host.startsWith(QLatin1Char('.')) &&
                 !host.endsWith(QLatin1Char('.')) && !host.contains(QLatin1String(".."));
    for (const QChar c : host)
        plain = plain && c.unicode() < 0x80 &&
                (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('.'));
    // Time and randomness together: unique across restarts and computers.
    const quint64 random = QRandomGenerator::system()->generate64();
    return QStringLiteral("<%1.%2@%3>")
        .arg(QDateTime::currentMSecsSinceEpoch(), 0, 36)
        .arg(random, 0, 36)
        .arg(plain ? host : QStringLiteral("localhost"));
}

namespace wire {

QByteArray latin1(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (const char32_t cp : text.toUcs4())
        out += cp <= 0xFF ? static_cast<char>(cp) : '?';
    return out;
}

QByteArray encodeWords(const QByteArray& value, bool displayName) {
    static const QByteArray kOpen = "=?ISO-8859-1?Q?";
    static const QByteArray kClose = "?=";
    constexpr qsizetype kMaxWord = 75;

    const auto needs = [displayName](unsigned char c) {
        return !printable(c) || (displayName && isAddressSpecial(static_cast<char>(c)));
    };
    // Words and the blanks between them, in order.
    struct Piece {
        QByteArray text;
        bool blank;
        bool encode;
    };
    QList<Piece> pieces;
    for (qsizetype i = 0; i < value.size();) {
        const bool blank = isBlank(value[i]);
        qsizetype j = i;
        while (j < value.size() && isBlank(value[j]) == blank)
            ++j;
        Piece p{value.mid(i, j - i), blank, false};
        if (!blank)
            for (const char c : p.text)
                p.encode = p.encode || needs(static_cast<unsigned char>(c));
        pieces.append(p);
        i = j;
    }

    QByteArray out;
    for (qsizetype i = 0; i < pieces.size();) {
        if (!pieces[i].encode) {
            out += pieces[i++].text;
            continue;
        }
        // A run of words to encode, with the blanks between them.
        qsizetype last = i;
        for (qsizetype k = i + 1; k < pieces.size(); ++k) {
            if (pieces[k].blank)
                continue;
            if (!pieces[k].encode)
                break;
            last = k;
        }
        QByteArray run;
        for (qsizetype k = i; k <= last; ++k)
            run += pieces[k].text;
        i = last + 1;

        QByteArray word = kOpen;
        for (const char ch : run) {
            const auto c = static_cast<unsigned char>(ch);
            QByteArray piece;
            if (c == ' ')
                piece = "_";
            else if (needs(c) || c == '=' || c == '?' || c == '_')
                appendHex(piece, c);
            else
                piece = QByteArray(1, ch);
            if (word.size() + piece.size() + kClose.size() > kMaxWord) {
                out += word + kClose + "\r\n\t";
                word = kOpen;
            }
            word += piece;
        }
        out += word + kClose;
    }
    return out;
}

QByteArray formatAddress(const MailAddress& item) {
    const QByteArray address = headerValue(item.address);
    if (item.name.isEmpty())
        return address;
    const QByteArray name = headerValue(item.name);
    bool plain = true;
    for (const char c : name)
        plain = plain && printable(static_cast<unsigned char>(c));
    QByteArray shown;
    if (plain) {
        shown = "\"";
        for (const char c : name) {
            if (c == '\\' || c == '"')
                shown += '\\';
            shown += c;
        }
        shown += '"';
    } else {
        shown = encodeWords(name, true);
    }
    return shown + " <" + address + ">";
}

QByteArray foldHeader(const QByteArray& line) {
    constexpr qsizetype kFoldAt = 78;
    QByteArray out;
    const QList<QByteArray> physical = line.split('\n');
    for (qsizetype n = 0; n < physical.size(); ++n) {
        QByteArray rest = physical[n];
        if (rest.endsWith('\r'))
            rest.chop(1);
        // No break before the value of the first line, nor at the leading
        // blank of a continuation.
        qsizetype first = 1;
        if (n == 0) {
            const qsizetype colon = rest.indexOf(':');
            first = colon < 0 ? 1 : colon + 2;
        }
        for (;;) {
            qsizetype breakAt = -1;
            bool quoted = false, escaped = false;
            for (qsizetype i = 0; i < rest.size(); ++i) {
                const char c = rest[i];
                if (escaped) {
                    escaped = false;
                } else if (quoted && c == '\\') {
                    escaped = true;
                } else if (c == '"') {
                    quoted = !quoted;
                } else if (!quoted && i >= first && (isBlank(c) || c == ',')) {
                    if (i >= kFoldAt - 1 && breakAt < 0) {
                        breakAt = i;  // nothing earlier to break at
                        break;
                    }
                    breakAt = i;
                }
                if (i == kFoldAt - 1 && breakAt >= 0)
                    break;
            }
            if (rest.size() < kFoldAt || breakAt < 0) {
                out += rightTrimmed(rest) + "\r\n";
                break;
            }
            out += rightTrimmed(rest.left(breakAt + 1)) + "\r\n";
            qsizetype next = breakAt + 1;
            while (next < rest.size() && (isBlank(rest[next]) || rest[next] == ','))
                ++next;
            if (next >= rest.size())
                break;
            rest = " " + rest.mid(next);
            first = 1;
        }
    }
    return out;
}

QByteArray dateHeader(const QDateTime& local) {
    static const char* kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate d = local.date();
    const QTime t = local.time();
    const int offset = local.offsetFromUtc() / 60;
    const int minutes = offset < 0 ? -offset : offset;
    return QStringLiteral("%1, %2 %3 %4 %5:%6:%7 %8%9%10")
        .arg(QLatin1String(kDays[d.dayOfWeek() - 1]))
        .arg(d.day())
        .arg(QLatin1String(kMonths[d.month() - 1]))
        .arg(d.year(), 4, 10, QLatin1Char('0'))
        .arg(t.hour(), 2, 10, QLatin1Char('0'))
        .arg(t.minute(), 2, 10, QLatin1Char('0'))
        .arg(t.second(), 2, 10, QLatin1Char('0'))
        .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'))
        .toLatin1();
}

QList<QByteArray> headerLines(const MailMessage& m, const QDateTime& now, TransferEncoding enc) {
    QList<QByteArray> lines;
    const auto add = [&lines](const char* name, const QByteArray& value) {
        if (!value.isEmpty())
            lines.append(foldHeader(QByteArray(name) + ": " + value));
    };
    const auto addresses = [](const MailAddressList& list) {
        QByteArray joined;
        for (const MailAddress& item : list)
            joined += (joined.isEmpty() ? "" : ", ") + formatAddress(item);
        return joined;
    };

    add("From", formatAddress(m.from));
    add("Subject", encodeWords(headerValue(m.subject), false));
    add("To", addresses(m.recipients));
    add("Cc", addresses(m.cc));
    add("Content-Type", "text/plain; charset=ISO-8859-1");
    add("MIME-Version", "1.0");
    add("Content-Transfer-Encoding", enc == TransferEncoding::SevenBit   ? "7bit"
                                     : enc == TransferEncoding::EightBit ? "8bit"
                                                                         : "quoted-printable");
    add("Date", dateHeader(m.date.isValid() ? m.date : now));
    switch (m.priority) {
        case MailPriority::Highest:
            add("X-Priority", "1");
            break;
        case MailPriority::High:
            add("X-Priority", "2");
            break;
        case MailPriority::Low:
            add("X-Priority", "4");
            break;
        case MailPriority::Lowest:
            add("X-Priority", "5");
            break;
        case MailPriority::Normal:
            break;
    }
    for (const auto& [name, value] : m.extraHeaders)
        add(headerValue(name).constData(), encodeWords(headerValue(value), false));
    return lines;
}

namespace {

// The body's lines: every item ends a line, and a line break inside an item
// (CR LF, a lone CR or a lone LF) ends one too.
QList<QByteArray> bodyLines(const MailMessage& m) {
    QList<QByteArray> lines;
    for (const QString& item : m.body) {
        const QByteArray bytes = latin1(item);
        QByteArray line;
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const char c = bytes[i];
            if (c == '\r' || c == '\n') {
                lines.append(line);
                line.clear();
                if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                    ++i;
            } else {
                line += c;
            }
        }
        lines.append(line);
    }
    return lines;
}

// One line in quoted-printable, broken by soft line breaks into lines of at
// most 76 characters.
QByteArray quotedPrintable(const QByteArray& line) {
    constexpr qsizetype kMax = 76;
    QByteArray out, current;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        const bool last = i + 1 == line.size();
        QByteArray piece;
        if ((c >= 33 && c <= 126 && c != '=') || (isBlank(static_cast<char>(c)) && !last))
            piece = QByteArray(1, static_cast<char>(c));
        else
            appendHex(piece, c);
        if (current.size() + piece.size() + (last ? 0 : 1) > kMax) {
            out += current + "=\r\n";
            current.clear();
        }
        current += piece;
    }
    return out + current + "\r\n";
}

}  // namespace

QByteArray bodyData(const MailMessage& m, TransferEncoding enc) {
    QByteArray out;
    for (const QByteArray& line : bodyLines(m))
        out += enc == TransferEncoding::QuotedPrintable ? quotedPrintable(line) : line + "\r\n";
    return out;
}

TransferEncoding chooseEncoding(const MailMessage& m, bool server8BitMime) {
    // SMTP limits a line to 1000 bytes with its CR LF.
    constexpr qsizetype kMaxLine = 998;
    bool eightBit = false, longLine = false;
    for (const QByteArray& line : bodyLines(m)) {
        longLine = longLine || line.size() > kMaxLine;
        for (const char c : line)
            eightBit = eightBit || static_cast<unsigned char>(c) > 127 || c == '\0';
    }
    if (longLine || (eightBit && !server8BitMime))
        return TransferEncoding::QuotedPrintable;
    return eightBit ? TransferEncoding::EightBit : TransferEncoding::SevenBit;
}

QByteArray dataSection(const MailMessage& m, const QDateTime& now, TransferEncoding enc) {
    QByteArray text;
    for (const QByteArray& h : headerLines(m, now, enc))
        text += h;
    text += "\r\n";
    text += bodyData(m, enc);
    // A line that begins with "." gets another, so no line of the message
    // can end the DATA section early.
    QByteArray out;
    out.reserve(text.size() + 16);
    for (qsizetype i = 0; i < text.size();) {
        qsizetype end = text.indexOf("\r\n", i);
        end = end < 0 ? text.size() : end + 2;
        if (text[i] == '.')
            out += '.';
        out += QByteArrayView(text).sliced(i, end - i);
        i = end;
    }
    return out;
}

}  // namespace wire

}  // namespace quindra
