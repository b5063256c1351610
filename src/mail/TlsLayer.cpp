#include "mail/TlsLayer.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <cerrno>

namespace quindra {

namespace {

struct CtxFree {
    void operator()(SSL_CTX* c) const { SSL_CTX_free(c); }
};
struct SslFree {
    void operator()(SSL* s) const { SSL_free(s); }
};
using CtxPtr = std::unique_ptr<SSL_CTX, CtxFree>;
using SslPtr = std::unique_ptr<SSL, SslFree>;

MailError sslFailure(const QString& text, const QString& reason = {},
                     MailFault fault = MailFault::TlsFailure) {
    return MailError(reason.isEmpty() ? text : text + QStringLiteral("\r\n") + reason, fault);
}

// The first error OpenSSL queued for this thread; the queue is emptied so the
// next operation starts clean.
struct Queued {
    unsigned long code = 0;
    QString text;
};

Queued takeQueued() {
    const unsigned long e = ERR_get_error();
    ERR_clear_error();
    if (e == 0)
        return {};
    const char* reason = ERR_reason_error_string(e);
    return {e, reason ? QString::fromUtf8(reason) : QStringLiteral("error %1").arg(e)};
}

QString queuedReason() {
    return takeQueued().text;
}

// What a failed certificate check means to the operator.
MailFault certificateFault(long verify) {
    switch (verify) {
        case X509_V_ERR_CERT_HAS_EXPIRED:
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return MailFault::CertificateExpired;
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            return MailFault::CertificateForOtherName;
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_CERT_UNTRUSTED:
        case X509_V_ERR_CERT_SIGNATURE_FAILURE:
            return MailFault::CertificateUntrusted;
        default:
            return MailFault::TlsFailure;
    }
}

// What a handshake the library refused means to the operator: a server that
// offers only old protocol versions, or one that answers in plain text.
MailFault handshakeFault(unsigned long queued) {
    if (ERR_GET_LIB(queued) != ERR_LIB_SSL)
        return MailFault::TlsFailure;
    switch (ERR_GET_REASON(queued)) {
        case SSL_R_UNSUPPORTED_PROTOCOL:
        case SSL_R_TLSV1_ALERT_PROTOCOL_VERSION:
        case SSL_R_NO_PROTOCOLS_AVAILABLE:
        case SSL_R_WRONG_SSL_VERSION:
            return MailFault::TlsVersionRefused;
        case SSL_R_WRONG_VERSION_NUMBER:
        case SSL_R_PACKET_LENGTH_TOO_LONG:
        case SSL_R_RECORD_LENGTH_MISMATCH:
        case SSL_R_HTTP_REQUEST:
            return MailFault::NotTlsPort;
        default:
            return MailFault::TlsFailure;
    }
}

// One step of a non-blocking TLS operation: whether to retry after waiting.
// A closed connection or a broken socket is thrown as such.
bool waitAndRetry(SSL* ssl, int fd, int rc, Deadline deadline) {
    switch (SSL_get_error(ssl, rc)) {
        case SSL_ERROR_WANT_READ:
            waitReady(fd, false, deadline);
            return true;
        case SSL_ERROR_WANT_WRITE:
            waitReady(fd, true, deadline);
            return true;
        case SSL_ERROR_ZERO_RETURN:
            throw ConnectionClosed();
        case SSL_ERROR_SYSCALL:
            ERR_clear_error();
            if (errno == 0)
                throw ConnectionClosed();
            throw SocketError::fromErrno(errno);
        default:
            return false;
    }
}

class TlsStream final : public ByteStream {
public:
    TlsStream(UniqueFd fd, CtxPtr ctx, SslPtr ssl)
        : fd_(std::move(fd)), ctx_(std::move(ctx)), ssl_(std::move(ssl)) {}
    ~TlsStream() override {
        // One close_notify, without waiting for the peer's.
        if (ssl_ && fd_.get() >= 0)
            SSL_shutdown(ssl_.get());
        ERR_clear_error();
    }

    QByteArray readSome(Deadline deadline) override {
        char buf[4096];
        for (;;) {
            errno = 0;
            const int n = SSL_read(ssl_.get(), buf, sizeof buf);
            if (n > 0)
                return QByteArray(buf, n);
            if (!waitAndRetry(ssl_.get(), fd_.get(), n, deadline))
                throw sslFailure(QStringLiteral("SSL read failed."), queuedReason());
        }
    }

    void writeAll(const QByteArray& data, Deadline deadline) override {
        qsizetype done = 0;
        while (done < data.size()) {
            errno = 0;
            const int n = SSL_write(ssl_.get(), data.constData() + done,
                                    static_cast<int>(data.size() - done));
            if (n > 0) {
                done += n;
                continue;
            }
            if (!waitAndRetry(ssl_.get(), fd_.get(), n, deadline))
                throw sslFailure(QStringLiteral("SSL write failed."), queuedReason());
        }
    }

    // A TLS connection is never handed back to plain text.
    UniqueFd takeSocket() override { return {}; }

private:
    UniqueFd fd_;
    CtxPtr ctx_;
    SslPtr ssl_;
};

}  // namespace

std::unique_ptr<ByteStream> TlsLayer::handshake(UniqueFd socket, const QString& host,
                                                Deadline deadline) const {
    const QString connecting = QStringLiteral("Error connecting with SSL.");
    if (OPENSSL_init_ssl(0, nullptr) != 1)
        throw sslFailure(QStringLiteral("Could not load SSL library."));
    ERR_clear_error();

    CtxPtr ctx(SSL_CTX_new(TLS_client_method()));
    if (!ctx || SSL_CTX_set_min_proto_version(ctx.get(), TLS1_2_VERSION) != 1)
        throw sslFailure(QStringLiteral("Error creating SSL context."), queuedReason());
    // The system's authorities; SSL_CERT_FILE and SSL_CERT_DIR point
    // elsewhere when an operator's server has a private one.
    SSL_CTX_set_default_verify_paths(ctx.get());
    SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_PEER, nullptr);
    // A server that drops the connection without close_notify is a closed
    // connection, not a protocol fault.
    SSL_CTX_set_options(ctx.get(), SSL_OP_IGNORE_UNEXPECTED_EOF);

    SslPtr ssl(SSL_new(ctx.get()));
    if (!ssl || SSL_set_fd(ssl.get(), socket.get()) != 1)
        throw sslFailure(QStringLiteral("Error binding data to SSL socket."), queuedReason());

    const QByteArray name = host.toUtf8();
    in6_addr addr6;
    in_addr addr4;
    const bool literal = inet_pton(AF_INET, name.constData(), &addr4) == 1 ||
                         inet_pton(AF_INET6, name.constData(), &addr6) == 1;
    bool named;
    if (literal) {
        named = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl.get()), name.constData()) == 1;
    } else {
        named = SSL_set_tlsext_host_name(ssl.get(), name.constData()) == 1 &&
                SSL_set1_host(ssl.get(), name.constData()) == 1;
    }
    if (!named)
        throw sslFailure(connecting, QStringLiteral("invalid host name"));

    for (;;) {
        errno = 0;
        const int rc = SSL_connect(ssl.get());
        if (rc == 1)
            break;
        try {
            if (waitAndRetry(ssl.get(), socket.get(), rc, deadline))
                continue;
        } catch (const MailError& e) {
            throw MailError(connecting + QStringLiteral("\r\n") + e.text(), e.fault(), e.code());
        }
        const long verify = SSL_get_verify_result(ssl.get());
        if (verify != X509_V_OK) {
            ERR_clear_error();
            throw sslFailure(connecting, QString::fromUtf8(X509_verify_cert_error_string(verify)),
                             certificateFault(verify));
        }
        const Queued queued = takeQueued();
        throw sslFailure(connecting, queued.text, handshakeFault(queued.code));
    }
    return std::make_unique<TlsStream>(std::move(socket), std::move(ctx), std::move(ssl));
}

bool TlsLayer::speaksOldTls(UniqueFd socket, const QString& host, Deadline deadline) const {
    if (OPENSSL_init_ssl(0, nullptr) != 1)
        return false;
    CtxPtr ctx(SSL_CTX_new(TLS_client_method()));
    // Old versions need the weakest security level; nothing but the hello
    // and the server's answer ever crosses this connection.
    if (!ctx || SSL_CTX_set_min_proto_version(ctx.get(), TLS1_VERSION) != 1 ||
        SSL_CTX_set_max_proto_version(ctx.get(), TLS1_1_VERSION) != 1 ||
        SSL_CTX_set_cipher_list(ctx.get(), "DEFAULT:@SECLEVEL=0") != 1) {
        ERR_clear_error();
        return false;
    }
    SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_NONE, nullptr);
    SslPtr ssl(SSL_new(ctx.get()));
    if (!ssl || SSL_set_fd(ssl.get(), socket.get()) != 1) {
        ERR_clear_error();
        return false;
    }
    SSL_set_tlsext_host_name(ssl.get(), host.toUtf8().constData());
    bool done = false;
    try {
        for (;;) {
            errno = 0;
            const int rc = SSL_connect(ssl.get());
            if (rc == 1) {
                done = true;
                break;
            }
            if (!waitAndRetry(ssl.get(), socket.get(), rc, deadline))
                break;
        }
    } catch (const MailError&) {
    }
    ERR_clear_error();
    return done;
}

}  // namespace quindra
