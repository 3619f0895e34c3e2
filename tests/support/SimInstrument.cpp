#include "support/SimInstrument.h"

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

#include "framework/IMidiPorts.h"
#include "support/JackServer.h"
#include "support/SysExFrame.h"

#include <jack/jack.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace hvtest {

namespace {

constexpr uint8_t kStart = 0xF0, kEnd = 0xF7, kMaker = 0x42, kModel = 0x58;
constexpr int kFuncGlobalRequest = 0x0E, kFuncProgramRequest = 0x10, kFuncWrite = 0x11, kFuncProgramDump = 0x40,
              kFuncParameterChange = 0x41, kFuncModeChange = 0x4E, kFuncGlobalDump = 0x51;
// The global channel's message byte in the global dump.
constexpr int kGlobalChannelByte = 16;

// Seven data bytes travel behind one byte that holds their top bits.
int dataPos(int n) { return 6 + 8 * (n / 7) + n % 7; }
int packPos(int n) { return 5 + 8 * (n / 7); }

int readData(const SimInstrument::Bytes& m, int n) {
    return (m[dataPos(n)] & 0x7F) | (((m[packPos(n)] >> (n % 7)) & 1) << 7);
}

void writeData(SimInstrument::Bytes& m, int n, int value) {
    m[dataPos(n)] = value & 0x7F;
    const int bit = 1 << (n % 7);
    m[packPos(n)] = static_cast<uint8_t>((value & 0x80) ? (m[packPos(n)] | bit) : (m[packPos(n)] & ~bit));
}

void quietErrors(RtMidiError::Type, const std::string&, void*) {}

}  // namespace

SimInstrument::SimInstrument(int channel, const std::string& clientStem) {
    channel_ = channel & 0x0F;
    cc_.fill(-1);
    for (int slot = 0; slot < kPrograms; ++slot) programs_[slot] = defaultProgram(slot);
    edit_ = programs_[0];
    global_ = defaultGlobal();

    // A loaded server may turn a client away, as it would an instrument's
    // driver; it is asked again a few times.
    for (int attempt = 0; attempt < 5 && !openClients(clientStem); ++attempt) {
        letGo();
        std::this_thread::sleep_for(std::chrono::milliseconds(100 * (attempt + 1)));
    }
    worker_ = std::thread([this] { work(); });
}

bool SimInstrument::openClients(const std::string& stem) {
    // New names each time: a client given up may still hold the old ones.
    const std::string name = uniqueClientName(stem);
    inClient_ = name + "i";
    outClient_ = name + "o";
    party_ = std::make_unique<JackParty>(name + "q");
    if (!party_->opened()) return false;
    // A new connection carries data once the graph has gone through a cycle
    // or two with it.
    party_->countCycles();
    // Each RtMidi call opens its client again while the first open was
    // turned away: none follows once the link broke.
    in_ = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, inClient_, 4096);
    in_->setErrorCallback(quietErrors, nullptr);
    if (!party_->linkSound()) return false;
    in_->ignoreTypes(false, false, false);
    in_->setCallback(&SimInstrument::inputCallback, this);
    in_->openVirtualPort("in");
    if (!party_->linkSound()) return false;
    out_ = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, outClient_);
    out_->setErrorCallback(quietErrors, nullptr);
    if (!party_->linkSound()) return false;
    out_->openVirtualPort("out");
    return party_->hasPort(inPort()) && party_->hasPort(outPort());
}

void SimInstrument::letGo() { hvtest::letGo(party_, in_, out_); }

SimInstrument::~SimInstrument() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    arrived_.notify_all();
    if (worker_.joinable()) worker_.join();
    letGo();
}

// ---- Ports

std::string SimInstrument::outPort() const { return outClient_ + ":out"; }
std::string SimInstrument::inPort() const { return inClient_ + ":in"; }

bool SimInstrument::waitConnected(std::chrono::milliseconds limit, bool in, bool out) const {
    if (!party_ || !party_->linkSound()) return false;
    jack_client_t* client = party_->client();
    const auto deadline = Clock::now() + limit;
    auto connected = [client](const std::string& name) {
        jack_port_t* port = jack_port_by_name(client, name.c_str());
        return port && jack_port_connected(port) > 0;
    };
    while (Clock::now() < deadline) {
        if ((!in || connected(inPort())) && (!out || connected(outPort()))) {
            const uint64_t seen = party_->cycles();
            while (party_->cycles() < seen + 3 && Clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return party_->cycles() >= seen + 3;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void SimInstrument::addChannelHook(ChannelHook hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    hooks_.push_back(std::move(hook));
}

// ---- Memory

SimInstrument::Bytes SimInstrument::defaultProgram(int slot) {
    Bytes m(kProgramDumpSize, 0);
    m[0] = kStart;
    m[1] = kMaker;
    m[2] = 0x30;
    m[3] = kModel;
    m[4] = kFuncProgramDump;
    m[kProgramDumpSize - 1] = kEnd;
    // Distinct programs: a name with the slot number and data bytes that
    // depend on the slot, all within seven bits.
    char name[13];
    std::snprintf(name, sizeof name, "Sim Prog %03d", slot);
    for (int i = 0; i < 12; ++i) writeData(m, i, name[i]);
    for (int n = 12; n < kProgramDataSize; ++n) writeData(m, n, (n * 7 + slot) & 0x3F);
    return m;
}

SimInstrument::Bytes SimInstrument::defaultGlobal() const {
    Bytes m(kGlobalDumpSize, 0);
    m[0] = kStart;
    m[1] = kMaker;
    m[2] = static_cast<uint8_t>(deviceByte());
    m[3] = kModel;
    m[4] = kFuncGlobalDump;
    m[kGlobalChannelByte] = static_cast<uint8_t>(channel_);
    m[kGlobalDumpSize - 1] = kEnd;
    return m;
}

int SimInstrument::currentProgram() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return current_;
}

SimInstrument::Bytes SimInstrument::program(int slot) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return programs_.at(slot);
}

void SimInstrument::setProgram(int slot, const Bytes& dump) {
    std::lock_guard<std::mutex> lock(mutex_);
    programs_.at(slot) = dump;
}

SimInstrument::Bytes SimInstrument::editBuffer() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return edit_;
}

void SimInstrument::setEditBuffer(const Bytes& dump) {
    std::lock_guard<std::mutex> lock(mutex_);
    edit_ = dump;
}

SimInstrument::Bytes SimInstrument::globalDump() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return global_;
}

void SimInstrument::setGlobalDump(const Bytes& dump) {
    std::lock_guard<std::mutex> lock(mutex_);
    global_ = dump;
}

int SimInstrument::dataByte(int n) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return n >= 0 && n < kProgramDataSize && edit_.size() == kProgramDumpSize ? readData(edit_, n) : -1;
}

void SimInstrument::setDataByte(int n, int value) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (n >= 0 && n < kProgramDataSize && edit_.size() == kProgramDumpSize) writeData(edit_, n, value);
}

std::string SimInstrument::name() const {
    std::string s;
    for (int i = 0; i < 12; ++i) {
        const int c = dataByte(i);
        if (c <= 0) break;
        s += static_cast<char>(c);
    }
    return s;
}

void SimInstrument::setName(const std::string& name) {
    for (int i = 0; i < 12; ++i)
        setDataByte(
            i, i < static_cast<int>(name.size()) ? name[i] & 0x7F : (i == static_cast<int>(name.size()) ? 0 : ' '));
}

int SimInstrument::globalDataByte(int n) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return n >= 0 && n < kGlobalDataSize && global_.size() == kGlobalDumpSize ? readData(global_, n) : -1;
}

void SimInstrument::setGlobalDataByte(int n, int value) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (n >= 0 && n < kGlobalDataSize && global_.size() == kGlobalDumpSize) writeData(global_, n, value);
}

int SimInstrument::ccValue(int cc) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return cc >= 0 && cc < 128 ? cc_[cc] : -1;
}

int SimInstrument::nrpnValue(int msb, int lsb) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = nrpn_.find(msb * 128 + lsb);
    return it == nrpn_.end() ? -1 : it->second;
}

// ---- Sending

void SimInstrument::send(Bytes bytes) {
    std::lock_guard<std::mutex> lock(sendMutex_);
    std::vector<unsigned char> m(bytes.begin(), bytes.end());
    if (!out_) return;  // the server turned every try away
#if defined(__SANITIZE_THREAD__)
    __tsan_release(IMidiPorts::deliveryMark());
#endif
    try {
        out_->sendMessage(&m);
    } catch (const RtMidiError& e) {
        std::fprintf(stderr, "simulated instrument: %s\n", e.what());
    }
}

void SimInstrument::answer(Bytes bytes) {
    if (const int ms = replyDelayMs_; ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    std::atomic<int>& toLose = bytes.size() == kGlobalDumpSize ? globalDumpsToLose_ : programDumpsToLose_;
    for (int n = toLose; n > 0;)
        if (toLose.compare_exchange_weak(n, n - 1)) return;
    send(std::move(bytes));
}

SimInstrument::Bytes SimInstrument::frame(int function, const Bytes& body) const {
    return SysExFrame({kStart, kMaker, static_cast<uint8_t>(deviceByte()), kModel, static_cast<uint8_t>(function)},
                      body);
}

SimInstrument::Bytes SimInstrument::programMessage() const {
    Bytes m = editBuffer();
    if (m.size() > 2) m[2] = static_cast<uint8_t>(deviceByte());
    return m;
}

SimInstrument::Bytes SimInstrument::globalMessage() const {
    Bytes m = globalDump();
    if (m.size() == kGlobalDumpSize) {
        m[2] = static_cast<uint8_t>(deviceByte());
        m[kGlobalChannelByte] = static_cast<uint8_t>(channel_);
    }
    return m;
}

void SimInstrument::sendProgramDump() { send(programMessage()); }

void SimInstrument::sendGlobalDump() { send(globalMessage()); }

void SimInstrument::sendParameterChange(int idLow, int idHigh, int value, int valueHigh) {
    send(frame(kFuncParameterChange, {static_cast<uint8_t>(idLow & 0x7F), static_cast<uint8_t>(idHigh & 0x7F),
                                      static_cast<uint8_t>(value & 0x7F), static_cast<uint8_t>(valueHigh & 0x7F)}));
}

void SimInstrument::sendModeChange(int mode) {
    send(frame(kFuncModeChange, {static_cast<uint8_t>(mode & 0x7F), 0x00}));
}

void SimInstrument::sendControlChange(int cc, int value, int channel) {
    const int ch = channel < 0 ? channel_.load() : channel;
    send({static_cast<uint8_t>(0xB0 | (ch & 0x0F)), static_cast<uint8_t>(cc & 0x7F),
          static_cast<uint8_t>(value & 0x7F)});
}

void SimInstrument::sendNRPN(int msb, int lsb, int value, int channel) {
    sendControlChange(99, msb, channel);
    sendControlChange(98, lsb, channel);
    sendControlChange(6, value, channel);
}

void SimInstrument::sendProgramChange(int program, int channel) {
    const int ch = channel < 0 ? channel_.load() : channel;
    if (ch == channel_) {
        // Chosen on the instrument itself: it plays that program now.
        std::lock_guard<std::mutex> lock(mutex_);
        current_ = program & 0x7F;
        edit_ = programs_[current_];
    }
    send({static_cast<uint8_t>(0xC0 | (ch & 0x0F)), static_cast<uint8_t>(program & 0x7F)});
}

void SimInstrument::sendNoteOn(int note, int velocity, int channel) {
    const int ch = channel < 0 ? channel_.load() : channel;
    send({static_cast<uint8_t>(0x90 | (ch & 0x0F)), static_cast<uint8_t>(note & 0x7F),
          static_cast<uint8_t>(velocity & 0x7F)});
}

void SimInstrument::sendNoteOff(int note, int channel) {
    const int ch = channel < 0 ? channel_.load() : channel;
    send({static_cast<uint8_t>(0x80 | (ch & 0x0F)), static_cast<uint8_t>(note & 0x7F), 0});
}

void SimInstrument::sendRaw(const Bytes& bytes) { send(bytes); }

// ---- Receiving

void SimInstrument::inputCallback(double delta, std::vector<unsigned char>* message, void* self) {
    if (message && !message->empty())
        static_cast<SimInstrument*>(self)->onInput(delta, Bytes(message->begin(), message->end()));
}

void SimInstrument::onInput(double delta, const Bytes& bytes) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!received_.empty()) stamp_ += delta;
        received_.push_back(Message{bytes, Clock::now(), stamp_});
        queue_.push_back(bytes);
        ++queued_;
    }
    arrived_.notify_all();
}

void SimInstrument::work() {
    for (;;) {
        Bytes m;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            arrived_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (stop_) return;
            m = std::move(queue_.front());
            queue_.pop_front();
        }
        handle(m);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++handled_;
        }
        arrived_.notify_all();
    }
}

void SimInstrument::setBeforeHandling(std::function<void(const Bytes& message)> hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    beforeHandling_ = std::move(hook);
}

void SimInstrument::handle(const Bytes& m) {
    if (m.empty()) return;
    std::function<void(const Bytes&)> before;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        before = beforeHandling_;
    }
    if (before) before(m);
    if (m[0] == kStart)
        handleSysEx(m);
    else if (m[0] >= 0x80 && m[0] < 0xF0)
        handleChannel(m);
}

void SimInstrument::handleSysEx(const Bytes& m) {
    // Only this instrument's frame on its own channel.
    if (m.size() < 6 || m[1] != kMaker || m[2] != deviceByte() || m[3] != kModel || m.back() != kEnd) return;
    const int function = m[4];
    if (function == kFuncProgramRequest && m.size() == 6) {
        if (!answering_) return;
        ++programAnswers_;
        answer(programMessage());
        return;
    }
    if (function == kFuncGlobalRequest && m.size() == 6) {
        if (!answering_) return;
        ++globalAnswers_;
        answer(globalMessage());
        return;
    }
    if (function == kFuncProgramDump && m.size() == kProgramDumpSize) {
        setEditBuffer(m);
        ++programDumpsTaken_;
        return;
    }
    if (function == kFuncGlobalDump && m.size() == kGlobalDumpSize) {
        setGlobalDump(m);
        setChannel(m[kGlobalChannelByte]);
        ++globalDumpsTaken_;
        return;
    }
    if (function == kFuncWrite && m.size() == 8 && m[5] == 0 && m[6] < kPrograms) {
        std::lock_guard<std::mutex> lock(mutex_);
        programs_[m[6]] = edit_;
        ++programsWritten_;
    }
}

void SimInstrument::handleChannel(const Bytes& m) {
    if ((m[0] & 0x0F) != channel_) return;
    const int kind = m[0] & 0xF0;
    std::vector<ChannelHook> hooks;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (kind == 0xC0 && m.size() >= 2 && m[1] < kPrograms) {
            current_ = m[1];
            edit_ = programs_[current_];
        } else if (kind == 0xB0 && m.size() >= 3) {
            const int cc = m[1] & 0x7F, value = m[2] & 0x7F;
            cc_[cc] = value;
            if (cc == 99) nrpnMsb_ = value;
            if (cc == 98) nrpnLsb_ = value;
            if (cc == 6 && nrpnMsb_ >= 0 && nrpnLsb_ >= 0) nrpn_[nrpnMsb_ * 128 + nrpnLsb_] = value;
        }
        hooks = hooks_;
    }
    for (const ChannelHook& hook : hooks) hook(*this, m);
}

std::vector<SimInstrument::Message> SimInstrument::received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

size_t SimInstrument::receivedCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_.size();
}

void SimInstrument::clearReceived() {
    std::lock_guard<std::mutex> lock(mutex_);
    received_.clear();
    stamp_ = 0.0;
}

bool SimInstrument::waitFor(const std::function<bool(const std::vector<Message>&)>& pred,
                            std::chrono::milliseconds limit) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, limit, [&] { return pred(received_); });
}

bool SimInstrument::waitForCount(size_t count, std::chrono::milliseconds limit) const {
    return waitFor([count](const std::vector<Message>& r) { return r.size() >= count; }, limit);
}

bool SimInstrument::waitIdle(std::chrono::milliseconds limit) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, limit, [&] { return handled_ == queued_; });
}

bool SimInstrument::isFunction(const Bytes& m, int function) {
    return m.size() >= 6 && m[0] == kStart && m[1] == kMaker && (m[2] & 0xF0) == 0x30 && m[3] == kModel &&
           m[4] == function;
}

bool SimInstrument::isControlChange(const Bytes& m, int cc) {
    return m.size() == 3 && (m[0] & 0xF0) == 0xB0 && (cc < 0 || m[1] == cc);
}

bool SimInstrument::isProgramChange(const Bytes& m) { return m.size() == 2 && (m[0] & 0xF0) == 0xC0; }

bool SimInstrument::isNote(const Bytes& m) { return m.size() == 3 && ((m[0] & 0xF0) == 0x80 || (m[0] & 0xF0) == 0x90); }

}  // namespace hvtest
