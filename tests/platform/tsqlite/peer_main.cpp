// A second process on the same database file, driven by the multi-process tests:
//   peer DB hold NAME    creates the global temporary table NAME, says "ready", waits for the
//                        end of its input, then closes (the table goes with it)
//   peer DB crash NAME   creates NAME, says "ready" and ends without closing anything
//   peer DB write N      inserts N rows into SHARED one statement at a time, says "done E"
//                        with E the number of failed statements
//   peer DB refill N     N times empties COPY and fills it again from SHARED with one
//                        INSERT ... SELECT, says "done E"
#include <tsqlite/tsqlite.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s DB hold|crash|write ARG\n", argv[0]);
        return 2;
    }
    std::vector<tsqlite::Error> errors;
    auto db = tsqlite::Connection::open(argv[1], errors);
    if (!db) {
        std::fprintf(stderr, "%s\n", errors.empty() ? "open failed" : errors.front().description.c_str());
        return 1;
    }
    const std::string mode = argv[2];
    const std::string arg = argv[3];
    if (mode == "hold" || mode == "crash") {
        if (!db->execute("CREATE TABLE " + arg + " (A int)\r\nINSERT INTO " + arg + " VALUES (42)", nullptr,
                         errors)) {
            std::fprintf(stderr, "%s\n", errors.front().description.c_str());
            return 1;
        }
        std::printf("ready\n");
        std::fflush(stdout);
        if (mode == "crash")
            _exit(0);
        std::string line;
        while (std::getline(std::cin, line)) {
        }
        return 0;
    }
    if (mode == "write" || mode == "refill") {
        int failed = 0;
        for (int i = 1; i <= std::stoi(arg); ++i) {
            errors.clear();
            const bool ok =
                mode == "write"
                    ? db->execute("INSERT INTO SHARED (ID, TESTO) VALUES (" + std::to_string(i) + ", 'riga')",
                                  nullptr, errors)
                    : db->execute("DELETE FROM COPY", nullptr, errors) &&
                          db->execute("INSERT INTO COPY SELECT ID, TESTO FROM SHARED", nullptr, errors);
            failed += ok ? 0 : 1;
        }
        std::printf("done %d\n", failed);
        return 0;
    }
    return 2;
}
