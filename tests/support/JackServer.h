#pragma once
// A private JACK server on the dummy driver, so tests move MIDI through real
// ports without touching the machine's sound system.
#include <chrono>
#include <initializer_list>
#include <string>
#include <sys/types.h>

class RtMidi;

namespace hvtest {

class JackServer {
public:
    // The server shared by every test of this process: started on first use,
    // stopped when the process exits. Fails the calling test when jackd will
    // not start.
    static JackServer& shared();

    // Its name is the stem with a number from 0 to kNameSlots - 1, the first
    // under which a server starts.
    explicit JackServer(std::string stem);
    ~JackServer();
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    bool start();  // true once clients can connect
    void stop();
    // Stops the server's process (SIGSTOP) and lets it go on (SIGCONT): a
    // server that holds every call of its clients, as one stuck on a
    // stale lock does.
    void pause();
    void resume();
    bool running() const { return pid_ > 0; }
    const std::string& name() const { return name_; }
    int periodFrames() const { return 256; }
    int sampleRate() const { return 48000; }

private:
    bool startOnce(std::chrono::seconds patience);

    static constexpr int kNameSlots = 8;  // as many as JACK has places for servers
    std::string stem_;
    std::string name_;
    pid_t pid_ = -1;
};

// Closes each party's port once the server's notifications about earlier
// graph changes have reached every client. JACK's client library walks its
// own port list in its notification thread without a lock, so a port
// unregistered meanwhile is read after it is freed.
void closeMidiPorts(std::initializer_list<RtMidi*> parties);

// Port names as the JACK backend lists them: "client:port".
std::string jackPortName(const std::string& client, const std::string& port);

}  // namespace hvtest
