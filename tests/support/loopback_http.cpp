#include "loopback_http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <utility>

LoopbackHttpServer::LoopbackHttpServer(QMap<QByteArray, Reply> routes)
    : m_routes(std::move(routes)) {
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(m_listen, 16);
    socklen_t len = sizeof addr;
    ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    m_stop = true;
    m_thread.join();
    for (std::thread& t : m_workers)
        t.join();
    ::close(m_listen);
}

QByteArray LoopbackHttpServer::url(const char* path) const {
    return "http://127.0.0.1:" + QByteArray::number(m_port) + path;
}

bool LoopbackHttpServer::pause(int ms) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!m_stop) {
        const auto left = until - std::chrono::steady_clock::now();
        if (left <= std::chrono::milliseconds(0))
            return true;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(20)));
    }
    return false;
}

void LoopbackHttpServer::serve() {
    while (!m_stop) {
        pollfd p{m_listen, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const int fd = ::accept(m_listen, nullptr, nullptr);
        if (fd < 0)
            continue;
        const std::lock_guard lock(m_workersMutex);
        m_workers.emplace_back([this, fd] { answer(fd); });
    }
}

void LoopbackHttpServer::answer(int fd) {
    QByteArray request;
    char buf[4096];
    while (!request.contains("\r\n\r\n") && !m_stop) {
        pollfd rp{fd, POLLIN, 0};
        if (::poll(&rp, 1, 1000) <= 0)
            break;
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        request.append(buf, n);
    }
    // A connection closed before its request is no request.
    if (!request.contains("\r\n\r\n")) {
        ::close(fd);
        return;
    }
    ++m_requests;
    const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
    const QByteArray path = words.size() > 1 ? words[1] : QByteArray("/");
    const Reply reply = m_routes.value(path, Reply{404, {}, "not here", false});

    auto send = [fd](const QByteArray& out) {
        qsizetype sent = 0;
        while (sent < out.size()) {
            const ssize_t n =
                ::send(fd, out.constData() + sent, static_cast<size_t>(out.size() - sent), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += n;
        }
        return true;
    };

    if (reply.silent) {
        // Keeps the connection open and quiet until the server stops.
        while (pause(1000)) {
        }
    } else if (reply.endless) {
        if (send("HTTP/1.1 200 X\r\n" + reply.headers + "Connection: close\r\n\r\n"))
            while (!m_stop && send(reply.body)) {
            }
    } else if (pause(reply.delayMs)) {
        const QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + " X\r\n" + reply.headers +
                                "Content-Length: " + QByteArray::number(reply.body.size()) +
                                "\r\nConnection: close\r\n\r\n";
        if (reply.dripBytes <= 0) {
            send(head + reply.body);
        } else if (send(head)) {
            for (qsizetype at = 0; at < reply.body.size(); at += reply.dripBytes)
                if (!pause(reply.dripEveryMs) || !send(reply.body.mid(at, reply.dripBytes)))
                    break;
        }
    }
    ::close(fd);
}
