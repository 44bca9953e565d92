#pragma once
// A small HTTP server on 127.0.0.1 for tests: canned answers by path, run on its own thread.

#include <QByteArray>
#include <QMap>

#include <atomic>
#include <thread>

class LoopbackHttpServer {
public:
    struct Reply {
        int status = 200;
        QByteArray headers; // extra header lines, each ending in \r\n
        QByteArray body;
        bool silent = false; // accept and never answer
    };

    explicit LoopbackHttpServer(QMap<QByteArray, Reply> routes);
    ~LoopbackHttpServer();

    int port() const { return m_port; }
    QByteArray url(const char* path) const;
    int requests() const { return m_requests.load(); }

private:
    void serve();

    QMap<QByteArray, Reply> m_routes;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_requests{0};
    std::thread m_thread;
};
