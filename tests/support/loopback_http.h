#pragma once
// A small HTTP server on 127.0.0.1 for tests: canned answers by path, each connection on a thread of its
// own so a slow answer does not hold up the next request.

#include <QByteArray>
#include <QMap>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

class LoopbackHttpServer {
public:
    struct Reply {
        int status = 200;
        QByteArray headers; // extra header lines, each ending in \r\n
        QByteArray body;
        bool silent = false; // accept and never answer
        int delayMs = 0;     // wait this long before answering
        int dripBytes = 0;   // when set, the body goes out this many bytes every dripEveryMs
        int dripEveryMs = 0;
        bool endless = false; // the body again and again, as fast as the client takes it
    };

    explicit LoopbackHttpServer(QMap<QByteArray, Reply> routes);
    ~LoopbackHttpServer();
    QByteArray url(const char* path) const { return "http://127.0.0.1:" + QByteArray::number(m_port) + path; }
    // Requests read so far (redirect hops count one each).
    int requests() const { return m_requests.load(); }

private:
    void serve();
    void answer(int fd);
    bool pause(int ms) const; // false when the server stopped meanwhile

    QMap<QByteArray, Reply> m_routes;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_requests{0};
    std::mutex m_workersMutex;
    std::vector<std::thread> m_workers;
    std::thread m_thread;
};
