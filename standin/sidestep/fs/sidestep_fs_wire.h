// The records between the minifilter stand-in inside the program and its
// file system process (sidestep_fs), over a SOCK_SEQPACKET socket pair:
// one record per packet, both ways. Plain C layout for both compilers.
#pragma once
#include <errno.h>
#include <stdint.h>
#include <sys/socket.h>

enum {
    SIDESTEP_FS_PATH_UNITS = 512,   // UTF-16 units, terminator included
    SIDESTEP_FS_READY = 1,          // file system -> program: C: is served
    SIDESTEP_FS_ASK = 2,            // file system -> program: decide path
    SIDESTEP_FS_ANSWER = 3,         // program -> file system: target (or empty)
    SIDESTEP_FS_STOP = 4,           // program -> file system: give C: back
    SIDESTEP_FS_STOPPED = 5,        // file system -> program: C: is back
};

struct SidestepFsRecord {
    uint32_t kind;
    uint32_t reserved;
    uint64_t id;                              // of the question; echoed
    uint16_t path[SIDESTEP_FS_PATH_UNITS];    // NT path or target, terminated
};

// The next whole record from the socket, its path terminated; false once
// the other side has gone (or the socket failed). Interrupted calls are
// repeated and packets of another size skipped.
inline bool ReceiveSidestepFsRecord(int socket, SidestepFsRecord &record)
{
    for (;;) {
        ssize_t n = recv(socket, &record, sizeof record, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        if (n != sizeof record)
            continue;
        record.path[SIDESTEP_FS_PATH_UNITS - 1] = 0;
        return true;
    }
}
