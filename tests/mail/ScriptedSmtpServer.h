#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quindra::testing {

// An SMTP server on loopback that answers each step with a scripted reply,
// and records what the client wrote. The replies are keyed by step:
// "greeting", "EHLO", "HELO", "RSET", "AUTH", "USER", "PASS", "MAIL", "RCPT",
// "DATA", "END" (the final "."), "STARTTLS", "QUIT", "other". A reply is the
// raw text to write ("250 OK\r\n"); "close" closes the connection instead and
// "silent" answers nothing. Connection n uses script n (the last one for any
// later connection).
class ScriptedSmtpServer {
public:
    using Replies = std::map<std::string, std::string>;

    static Replies defaults() {
        return {{"greeting", "220 teste.local ESMTP\r\n"},
                {"EHLO", "250-teste.local\r\n250-8BITMIME\r\n250 AUTH PLAIN LOGIN\r\n"},
                {"HELO", "250 teste.local\r\n"},
                {"RSET", "250 OK\r\n"},
                {"AUTH", "334 VXNlcm5hbWU6\r\n"},
                {"USER", "334 UGFzc3dvcmQ6\r\n"},
                {"PASS", "235 Authentication successful\r\n"},
                {"MAIL", "250 OK\r\n"},
                {"RCPT", "250 OK\r\n"},
                {"DATA", "354 End data with <CR><LF>.<CR><LF>\r\n"},
                {"END", "250 OK: queued\r\n"},
                {"QUIT", "221 Bye\r\n"},
                {"other", "500 Unrecognised command\r\n"}};
    }

    // Each script overrides the defaults for one connection.
    explicit ScriptedSmtpServer(std::vector<Replies> scripts = {{}}) {
        for (Replies& s : scripts) {
            Replies full = defaults();
            for (auto& [k, v] : s)
                full[k] = v;
            scripts_.push_back(full);
        }
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listener_, 8);
        socklen_t len = sizeof a;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ScriptedSmtpServer(const ScriptedSmtpServer&) = delete;
    ScriptedSmtpServer& operator=(const ScriptedSmtpServer&) = delete;
    ~ScriptedSmtpServer() {
        stop_ = true;
        thread_.join();
        ::close(listener_);
    }

    int port() const { return port_; }

    // What the client wrote on each connection, line by line (the message
    // between DATA and "." included).
    std::vector<std::vector<std::string>> sessions() const {
        std::lock_guard lock(mutex_);
        return sessions_;
    }
    // Waits (a few seconds at most) until n connections have ended.
    void waitFinished(int n) const {
        for (int i = 0; i < 500 && finished_ < n; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    int connections() const {
        std::lock_guard lock(mutex_);
        return static_cast<int>(sessions_.size());
    }

private:
    bool waitReadable(int fd) {
        while (!stop_) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0)
                return true;
        }
        return false;
    }

    void serve() {
        while (waitReadable(listener_)) {
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            std::size_t n;
            {
                std::lock_guard lock(mutex_);
                n = sessions_.size();
                sessions_.emplace_back();
            }
            talk(fd, scripts_[std::min(n, scripts_.size() - 1)], n);
            ::close(fd);
            ++finished_;
        }
    }

    // Writes the reply; false when the connection is to end here.
    bool answer(int fd, const std::string& reply) {
        if (reply == "close")
            return false;
        if (reply == "silent") {
            char c;
            while (waitReadable(fd) && ::recv(fd, &c, 1, 0) > 0) {
            }
            return false;
        }
        ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
        return true;
    }

    void talk(int fd, const Replies& r, std::size_t n) {
        if (!answer(fd, r.at("greeting")))
            return;
        std::string buffer;
        enum { Command, User, Pass, Data } state = Command;
        for (;;) {
            std::size_t lf;
            while ((lf = buffer.find("\r\n")) == std::string::npos) {
                char chunk[4096];
                if (!waitReadable(fd))
                    return;
                const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
                if (got <= 0)
                    return;
                buffer.append(chunk, static_cast<std::size_t>(got));
            }
            const std::string line = buffer.substr(0, lf);
            buffer.erase(0, lf + 2);
            {
                std::lock_guard lock(mutex_);
                sessions_[n].push_back(line);
            }
            std::string step;
            switch (state) {
                case User:
                    step = "USER", state = Pass;
                    break;
                case Pass:
                    step = "PASS", state = Command;
                    break;
                case Data:
                    if (line != ".")
                        continue;
                    step = "END", state = Command;
                    break;
                case Command: {
                    step = line.substr(0, line.find_first_of(" :"));
                    for (char& c : step)
                        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                    if (step == "MAIL" || step == "RCPT" || step == "EHLO" || step == "HELO" ||
                        step == "RSET" || step == "QUIT" || step == "STARTTLS") {
                    } else if (step == "AUTH") {
                        state = User;
                    } else if (step == "DATA") {
                        state = Data;
                    } else {
                        step = "other";
                    }
                }
            }
            const std::string& reply = r.at(step);
            if (step == "DATA" && reply.rfind("354", 0) != 0)
                state = Command;
            if (step == "AUTH" && reply.rfind("334", 0) != 0)
                state = Command;
            if (step == "USER" && reply.rfind("334", 0) != 0)
                state = Command;
            if (!answer(fd, reply))
                return;
        }
    }

    std::vector<Replies> scripts_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> finished_{0};
    mutable std::mutex mutex_;
    std::vector<std::vector<std::string>> sessions_;
    std::thread thread_;
};

}  // namespace quindra::testing
