#include "common/FakeTdsServer.h"

#include <QByteArray>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace {

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

constexpr std::uint8_t kReply = 0x04, kPreLogin = 0x12, kLogin7 = 0x10, kAttention = 0x06;

// One packet out: type "reply", end of message.
void sendReply(int fd, const QByteArray& body) {
    const int len = int(body.size()) + 8;
    QByteArray p;
    p += char(kReply);
    p += char(0x01);
    p += char(len >> 8);
    p += char(len & 0xFF);
    p += QByteArray("\0\0\1\0", 4);
    p += body;
    ::send(fd, p.constData(), std::size_t(p.size()), MSG_NOSIGNAL);
}

QByteArray done(std::uint16_t status) {
    QByteArray d;
    d += char(0xFD);  // DONE
    d += char(status & 0xFF);
    d += char(status >> 8);
    d += QByteArray(10, '\0');  // current command, row count
    return d;
}

// A login field: offset and length in characters, UTF-16LE; the password scrambled as the
// protocol does it (nibbles swapped, then XOR 0xA5).
QString loginField(const QByteArray& p, int at, bool scrambled) {
    const auto u16 = [&p](int i) {
        return int(std::uint8_t(p[i])) | int(std::uint8_t(p[i + 1])) << 8;
    };
    QByteArray b = p.mid(u16(at), u16(at + 2) * 2);
    if (scrambled)
        for (char& c : b) {
            const std::uint8_t x = std::uint8_t(c) ^ 0xA5;
            c = char(std::uint8_t(x << 4 | x >> 4));
        }
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(b.constData()), b.size() / 2);
}

}  // namespace

FakeTdsServer::FakeTdsServer(Mode mode, int maxSeconds, int maxConnections, QString lockMarker)
    : mode_(mode),
      maxConnections_(maxConnections),
      lockMarker_(std::move(lockMarker)),
      deadlineMs_(nowMs() + maxSeconds * 1000) {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listen_, 4) != 0 ||
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return;
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { run(); });
}

FakeTdsServer::~FakeTdsServer() {
    stop();
}

void FakeTdsServer::stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listen_ >= 0) ::close(listen_);
    listen_ = -1;
}

QList<FakeTdsServer::Login> FakeTdsServer::logins() const {
    std::lock_guard lock(mutex_);
    return logins_;
}

bool FakeTdsServer::expired() const {
    return stop_ || nowMs() >= deadlineMs_;
}

void FakeTdsServer::run() {
    for (int served = 0; served < maxConnections_ && !expired();) {
        pollfd pfd{listen_, POLLIN, 0};
        if (::poll(&pfd, 1, 50) <= 0) continue;
        const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++served;
        serve(fd);
        ::close(fd);
    }
}

void FakeTdsServer::serve(int fd) {
    // Reads exactly n bytes, polling so that stop() and the time limit are always seen.
    const auto readFull = [this, fd](char* p, std::size_t n) {
        while (n > 0) {
            pollfd pfd{fd, POLLIN, 0};
            if (expired()) return false;
            if (::poll(&pfd, 1, 50) <= 0) continue;
            const ssize_t k = ::recv(fd, p, n, 0);
            if (k <= 0) return false;
            p += k;
            n -= std::size_t(k);
        }
        return true;
    };
    const auto readMessage = [&readFull](QByteArray& body, std::uint8_t& type) {
        body.clear();
        for (;;) {
            char h[8];
            if (!readFull(h, 8)) return false;
            type = std::uint8_t(h[0]);
            const int len = int(std::uint8_t(h[2])) << 8 | int(std::uint8_t(h[3]));
            if (len < 8) return false;
            QByteArray part(len - 8, '\0');
            if (!readFull(part.data(), std::size_t(part.size()))) return false;
            body += part;
            if (h[1] & 0x01) return true;  // end of message
        }
    };

    QByteArray body;
    std::uint8_t type = 0;
    if (!readMessage(body, type) || type != kPreLogin) return;
    if (mode_ == Mode::Trickle) {
        // A reply announced as 4 KB, sent one byte every 300 ms: each byte restarts the
        // driver's own timeout.
        const char header[8] = {char(kReply), 0x01, 0x10, 0x00, 0, 0, 1, 0};
        ::send(fd, header, sizeof header, MSG_NOSIGNAL);
        while (!expired()) {
            for (int i = 0; i < 6 && !expired(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (::send(fd, "\0", 1, MSG_NOSIGNAL) != 1) return;
        }
        return;
    }
    // Pre-login reply: version, and encryption not supported (the login comes in clear).
    static const char preLogin[] = {0x00, 0,          11,   0, 6,    0x01,       0, 17, 0,
                                    1,    char(0xFF), 0x0F, 0, 0x07, char(0xD0), 0, 0,  0x02};
    sendReply(fd, QByteArray(preLogin, sizeof preLogin));
    if (!readMessage(body, type) || type != kLogin7 || body.size() < 94) return;
    {
        std::lock_guard lock(mutex_);
        logins_.append(
            {loginField(body, 40, false), loginField(body, 44, true), loginField(body, 68, false)});
    }
    if (mode_ != Mode::Lock) return;

    // LOGINACK (SQL interface, TDS 7.4, a program name) and DONE.
    const QByteArray name("F\0a\0k\0e\0", 8);
    QByteArray ack;
    ack += char(0x01);
    ack += QByteArray("\x74\x00\x00\x04", 4);
    ack += char(name.size() / 2);
    ack += name;
    ack += QByteArray("\x10\x00\x00\x00", 4);
    QByteArray reply;
    reply += char(0xAD);
    reply += char(ack.size() & 0xFF);
    reply += char(ack.size() >> 8);
    reply += ack;
    sendReply(fd, reply + done(0));

    while (readMessage(body, type)) {
        if (type == kAttention) {
            ++cancels_;
            sendReply(fd, done(0x0020));  // the cancel is acknowledged
            continue;
        }
        // The text is UTF-16 at an even or an odd offset of the request.
        const auto text = [&body](int from) {
            return QString::fromUtf16(reinterpret_cast<const char16_t*>(body.constData() + from),
                                      (body.size() - from) / 2);
        };
        if (text(0).contains(lockMarker_) || text(1).contains(lockMarker_)) continue;
        sendReply(fd, done(0));
    }
}
