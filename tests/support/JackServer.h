#pragma once
// A private JACK server on the dummy driver, so tests move MIDI through real
// ports without touching the machine's sound system.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <jack/types.h>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

class RtMidi;
class RtMidiIn;
class RtMidiOut;

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
    // Ends it at once (SIGKILL), for a server that answers no more: its place
    // in JACK's table of servers is taken back by the next one started under
    // its name, and by nothing else.
    void endAtOnce();
    // Stops the server's process (SIGSTOP) and lets it go on (SIGCONT): a
    // server that holds every call of its clients, as one stuck on a
    // stale lock does.
    void pause();
    void resume();
    bool running() const { return pid_ > 0; }
    const std::string& name() const { return name_; }
    int periodFrames() const { return 256; }
    // jackd's output goes to this file (verbose with HALVORAN_JACK_VERBOSE);
    // what it wrote during a test that failed or hung is printed.
    const std::string& logPath() const { return logPath_; }
    int sampleRate() const { return 48000; }

private:
    bool startOnce(std::chrono::seconds patience);

    static constexpr int kNameSlots = 8;  // as many as JACK has places for servers
    std::string stem_;
    std::string name_;
    std::string logPath_;
    pid_t pid_ = -1;
};

// Closes each party's port once the server's notifications about earlier
// graph changes have reached every client. JACK's client library walks its
// own port list in its notification thread without a lock, so a port
// unregistered meanwhile is read after it is freed.
void closeMidiPorts(std::initializer_list<RtMidi*> parties);

// Port names as the JACK backend lists them: "client:port".
std::string jackPortName(const std::string& client, const std::string& port);

// A client name no other test program uses: JACK names a client's socket
// after the client alone, whatever its server, and two programs opening the
// same name at once turn each other away.
std::string uniqueClientName(const std::string& stem);

// libjack keeps one mark for the whole process of whether its server is
// there. Once a client's link breaks (its server stopped, or the server
// turned a new client away), the next client opened anywhere in the
// process first closes and frees every other client: it sweeps them.
// A party of a test (the simulated instrument, a peer) keeps a plain client
// of its own to tell whether its clients may still be used; one that may not
// is given up, never touched again. Given up, the party itself is kept, so
// that its process callback's counter stays valid.
class JackParty {
public:
    explicit JackParty(const std::string& name);
    ~JackParty();  // closes the client while the link stands
    JackParty(const JackParty&) = delete;
    JackParty& operator=(const JackParty&) = delete;

    bool opened() const { return client_ != nullptr; }
    // The process's link stands and no sweep came since the party was made.
    bool linkSound() const;
    bool hasPort(const std::string& name) const;
    // Breaks this client's link as a server that drops it would: the
    // process's mark goes down and the next open sweeps every client.
    void breakLink();
    // Counts the server's cycles from now on.
    void countCycles();
    uint64_t cycles() const { return cycles_; }
    jack_client_t* client() const { return client_; }

private:
    jack_client_t* client_ = nullptr;
    unsigned sweeps_ = 0;
    std::vector<int> sockets_;  // the ones its open made
    std::atomic<uint64_t> cycles_{0};
};

// How many sweeps libjack made in this process.
unsigned jackSweeps();

// Closes a party's ports and clients while its link stands; else keeps
// them for good, swept or to be swept at the next open in the process.
void letGo(std::unique_ptr<JackParty>& party, std::unique_ptr<RtMidiIn>& in, std::unique_ptr<RtMidiOut>& out);

// Keeps what a party gave up for the rest of the process: libjack's
// threads may still reach it.
void keepPointer(void* given);
template <class T>
void keepForGood(std::unique_ptr<T>& given) {
    if (given) keepPointer(given.release());
}

}  // namespace hvtest
