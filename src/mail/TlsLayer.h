#pragma once

#include <QString>
#include <memory>

#include "mail/NetStream.h"

namespace quindra {

// The TLS layer of the SMTP client: TLS 1.2 or newer, the server's
// certificate checked against the system's trusted authorities (OpenSSL's
// default verify paths, so SSL_CERT_FILE and SSL_CERT_DIR apply) and against
// the host name the client connected to. A failed handshake fails with
// "Error connecting with SSL." followed by the reason on a line of its own.
class TlsLayer {
public:
    // TLS over a connected socket, one context per connection. The handshake
    // must finish before the deadline.
    std::unique_ptr<ByteStream> handshake(UniqueFd socket, const QString& host,
                                          Deadline deadline) const;

    // Whether the server completes a handshake of TLS 1.0 or 1.1, offered
    // alone, nothing verified and nothing sent: it tells why a server hung up
    // at the client's hello. The connection is closed afterwards.
    bool speaksOldTls(UniqueFd socket, const QString& host, Deadline deadline) const;
};

}  // namespace quindra
