/* The yardstick of the windowless update: the least a program can do for the same day's work, in
 * plain C. One HTTP GET over loopback, the rates cut out of the page with strstr, one line per tenor
 * appended to two files, one SQLite transaction. No checks beyond what keeps it from crashing. */
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    const int port = atoi(argv[1]);
    const char* folder = argv[2];
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in a = {0};
    a.sin_family = AF_INET;
    a.sin_port = htons((unsigned short)port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, (struct sockaddr*)&a, sizeof a) != 0)
        return 2;
    const char* req = "GET /x HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    if (write(fd, req, strlen(req)) < 0)
        return 2;
    static char page[1 << 20];
    size_t n = 0;
    ssize_t r;
    while ((r = read(fd, page + n, sizeof page - 1 - n)) > 0)
        n += (size_t)r;
    page[n] = 0;
    close(fd);

    char path[4096];
    snprintf(path, sizeof path, "%s/Storico_Euribor.TXT", folder);
    FILE* txt = fopen(path, "ab");
    snprintf(path, sizeof path, "%s/Storico_Euribor.CSV", folder);
    FILE* csv = fopen(path, "ab");
    snprintf(path, sizeof path, "%s/EURIBOR.MDB", folder);
    sqlite3* db;
    if (!txt || !csv || sqlite3_open(path, &db) != SQLITE_OK)
        return 2;
    sqlite3_exec(db, "BEGIN", 0, 0, 0);
    sqlite3_stmt* ins;
    sqlite3_prepare_v2(db, "INSERT INTO Storico_Euribor VALUES (?, ?, ?, ?, '')", -1, &ins, 0);
    for (char* p = strstr(page, "EuRibor "); p; p = strstr(p + 1, "EuRibor ")) {
        char name[32] = {0};
        sscanf(p, "%31[^<]", name);
        char* cell = strstr(p, "xplanerigatabella\">");
        if (!cell)
            break;
        double rate = atof(cell + 21);
        char* comma = strchr(cell + 21, ',');
        if (comma)
            rate = atof(cell + 21) + atof(comma + 1) / 1000.0;
        fprintf(txt, "07-12-2026 - %.4f - %s\r\n", rate, name);
        fprintf(csv, "07/12/2026;%.4f;%s;\r\n", rate, name);
        sqlite3_bind_text(ins, 1, name, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(ins, 2, "20261207", -1, SQLITE_STATIC);
        sqlite3_bind_double(ins, 3, rate);
        sqlite3_bind_text(ins, 4, name, -1, SQLITE_TRANSIENT);
        sqlite3_step(ins);
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    sqlite3_exec(db, "COMMIT", 0, 0, 0);
    sqlite3_close(db);
    fsync(fileno(txt));
    fsync(fileno(csv));
    fclose(txt);
    fclose(csv);
    return 0;
}
