// Starts and stops the tests' local update server (tests/update_server.py)
// from a Winelib test program, which is a Linux process underneath.
// Include after gtest_wine.h.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

struct LocalUpdateServer {
    pid_t pid = -1;
    int port = 0;

    // Serves the Unix folder root on 127.0.0.1 at port (0: any free port).
    // While a fixed port is taken, keeps trying for waitSeconds.
    bool Start(const std::string &root, int fixedPort = 0, int waitSeconds = 0)
    {
        std::string portFile = root + "/.port";
        unlink(portFile.c_str());
        std::string portText = std::to_string(fixedPort), wait = std::to_string(waitSeconds);
        const char *argv[] = {"python3", VG_UPDATE_SERVER_SCRIPT, "--root", root.c_str(), "--port",
                              portText.c_str(), "--port-file", portFile.c_str(), "--wait", wait.c_str(),
                              nullptr};
        if (posix_spawnp(&pid, "python3", nullptr, nullptr, const_cast<char **>(argv), environ) != 0) {
            pid = -1;
            return false;
        }
        for (int i = 0; i < (waitSeconds + 15) * 20; ++i) {
            FILE *f = fopen(portFile.c_str(), "r");
            if (f) {
                int n = fscanf(f, "%d", &port);
                fclose(f);
                if (n == 1 && port > 0)
                    return true;
            }
            int status;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return false;
            }
            usleep(50000);
        }
        Stop();
        return false;
    }

    void Stop()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            int status;
            waitpid(pid, &status, 0);
        }
        pid = -1;
    }

    ~LocalUpdateServer() { Stop(); }
};
