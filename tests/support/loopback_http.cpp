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
    sockaddr_in addr{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t len = sizeof addr;
    ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), len);
    ::listen(m_listen, 16);
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

bool LoopbackHttpServer::pause(int ms) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!m_stop && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 20)));
    return !m_stop;
}

void LoopbackHttpServer::serve() {
    while (!m_stop) {
        pollfd p{m_listen, POLLIN, 0};
        const int fd = ::poll(&p, 1, 50) > 0 ? ::accept(m_listen, nullptr, nullptr) : -1;
        if (fd < 0)
            continue;
        const std::lock_guard lock(m_workersMutex);
        m_workers.emplace_back([this, fd] { answer(fd); });
    }
}

void LoopbackHttpServer::answer(int fd) {
    QByteArray request;
    char buf[4096];
    pollfd rp{fd, POLLIN, 0};
    for (ssize_t n = 1; !request.contains("\r\n\r\n") && !m_stop && n > 0 && ::poll(&rp, 1, 1000) > 0;) {
        n = ::recv(fd, buf, sizeof buf, 0);
        request.append(buf, std::max<ssize_t>(n, 0));
    }
    const auto send = [fd](const QByteArray& out) {
        for (qsizetype sent = 0, n = 0; sent < out.size(); sent += n)
            if ((n = ::send(fd, out.constData() + sent, size_t(out.size() - sent), MSG_NOSIGNAL)) <= 0)
                return false;
        return true;
    };
    if (!request.contains("\r\n\r\n")) { // closed before its request: no request
        ::close(fd);
        return;
    }
    ++m_requests;
    const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
    const Reply reply = m_routes.value(words.value(1, "/"), Reply{404, {}, "not here"});
    if (reply.silent) {
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
        if (reply.dripBytes <= 0)
            send(head + reply.body);
        else if (send(head))
            for (qsizetype at = 0; at < reply.body.size(); at += reply.dripBytes)
                if (!pause(reply.dripEveryMs) || !send(reply.body.mid(at, reply.dripBytes)))
                    break;
    }
    ::close(fd);
}
