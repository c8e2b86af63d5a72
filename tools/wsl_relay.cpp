// wsl-relay: the Linux half of the WSL stand-in. wsl.exe starts it (Wine runs
// a Linux program natively, but gives it no Windows pipes), passing a loopback
// port and a one-time token in the environment. The relay connects back,
// proves the token, receives the command line, runs it with three pipes and
// carries its standard streams and exit code over the connection.
//
// As the relay of WSL 2 does, it gives the command a controlling terminal
// while its three standard streams stay pipes: a pseudo-terminal that never
// gets input and whose output is read and thrown away. So an interactive
// bash has job control, and a program that asks on /dev/tty (a password
// prompt) writes where nobody sees and waits for input that never comes.
// WSL_STANDIN_NO_TERMINAL (set to anything) leaves the terminal out, for a
// command with pipes alone.
//
// One thread, one poll loop, non-blocking descriptors: a stream the peer does
// not drain stops being read (the command then blocks on its own pipe) rather
// than piling up here, and no stream can starve another.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "relay_protocol.h"

namespace {

using relay::FrameType;
using relay::HeaderSize;
using relay::MaxPayload;

// How much may wait here for the peer or for the command before the relay
// stops reading more of it.
constexpr size_t HighWater = 1 << 20;
// How long the relay waits for wsl.exe to answer its hello, and to close the
// connection after the exit code (it closes only after reading the code).
constexpr int AnswerTimeoutMs = 30000;
constexpr int CloseTimeoutMs = 5000;
// How long a hung-up command may go on writing before the relay leaves it.
constexpr long long HangUpGraceMs = 10000;

// Bytes waiting to be written somewhere, consumed from the front.
class ByteQueue {
    std::vector<unsigned char> data_;
    size_t head_ = 0;

public:
    size_t Size() const noexcept { return data_.size() - head_; }
    bool Empty() const noexcept { return Size() == 0; }
    const unsigned char* Front() const noexcept { return data_.data() + head_; }
    void Consume(size_t n) {
        head_ += n;
        if (head_ == data_.size()) {
            data_.clear();
            head_ = 0;
        } else if (head_ >= HighWater && head_ * 2 >= data_.size()) {
            data_.erase(data_.begin(), data_.begin() + static_cast<ptrdiff_t>(head_));
            head_ = 0;
        }
    }
    // Room for n more bytes at the back; valid until the next Grow.
    unsigned char* Grow(size_t n) {
        const size_t old = data_.size();
        data_.resize(old + n);
        return data_.data() + old;
    }
    void Shrink(size_t n) { data_.resize(data_.size() - n); }
    void Append(const void* p, size_t n) {
        if (n != 0) std::memcpy(Grow(n), p, n);
    }
    void Clear() {
        data_.clear();
        head_ = 0;
    }
};

int g_childSignal[2] = {-1, -1};

void OnChildSignal(int) {
    const int saved = errno;
    if (write(g_childSignal[1], "c", 1) < 0) {
        // A full pipe already holds a wake-up; nothing is lost.
    }
    errno = saved;
}

void SetNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

// Fds 0-2 must be taken, or the socket could land on one of them and be
// replaced when the command's pipes are put there.
void KeepStandardSlotsTaken() {
    for (;;) {
        const int fd = open("/dev/null", O_RDWR);
        if (fd < 0) return;
        if (fd > 2) {
            close(fd);
            return;
        }
    }
}

// Whatever Wine's process happened to hold open is not ours to pass on.
void CloseStrayDescriptors() {
    if (close_range(3, ~0U, 0) == 0) return;
    const long max = sysconf(_SC_OPEN_MAX);
    for (long fd = 3; fd < (max > 0 && max < 65536 ? max : 65536); ++fd) close(static_cast<int>(fd));
}

// Waits until fd is ready for events or the time is up; false on time-out.
bool WaitReady(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    for (;;) {
        const int r = poll(&p, 1, timeoutMs);
        if (r > 0) return true;
        if (r == 0) return false;
        if (errno != EINTR) return false;
    }
}

bool SendAll(int fd, const unsigned char* p, size_t n) {
    while (n > 0) {
        const ssize_t r = send(fd, p, n, MSG_NOSIGNAL);
        if (r > 0) {
            p += r;
            n -= static_cast<size_t>(r);
        } else if (r < 0 && errno == EINTR) {
            continue;
        } else if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitReady(fd, POLLOUT, AnswerTimeoutMs)) return false;
        } else {
            return false;
        }
    }
    return true;
}

bool RecvExact(int fd, unsigned char* p, size_t n, int timeoutMs) {
    while (n > 0) {
        if (!WaitReady(fd, POLLIN, timeoutMs)) return false;
        const ssize_t r = recv(fd, p, n, 0);
        if (r > 0) {
            p += r;
            n -= static_cast<size_t>(r);
        } else if (r < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        } else {
            return false;
        }
    }
    return true;
}

int ConnectToWsl(unsigned port) {
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int r;
    do {
        r = connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (r < 0 && errno == EINTR);
    if (r < 0) {
        close(s);
        return -1;
    }
    // Interactive lines are small: send each at once, not when Nagle allows.
    const int one = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return s;
}

bool SendFrame(int fd, FrameType type, const void* payload, size_t length) {
    unsigned char header[HeaderSize];
    relay::EncodeHeader(header, type, static_cast<uint32_t>(length));
    return SendAll(fd, header, HeaderSize) && SendAll(fd, static_cast<const unsigned char*>(payload), length);
}

// The command line, split on spaces and tabs; a double quote starts or ends a
// group in which spaces are kept, and is itself dropped ("" is an empty word).
std::vector<std::string> SplitCommandLine(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}

struct Child {
    pid_t pid = -1;
    int input = -1;   // our write end of its standard input
    int output = -1;  // our read end of its standard output
    int error = -1;   // our read end of its standard error
    // The pseudo-terminal, both sides held here for the command's life: the
    // master is drained, and closing it would hang the command up; holding
    // the slave too keeps the master readable (not at its end) while no
    // process of the command has the terminal open.
    int terminal = -1;
    int terminalSlave = -1;
};

// A descriptor the starting command owns until it hands it to its Child:
// whatever a failed start had opened is closed on the way out.
class OwnedFd {
    int fd_ = -1;

public:
    OwnedFd() = default;
    OwnedFd(const OwnedFd&) = delete;
    OwnedFd& operator=(const OwnedFd&) = delete;
    ~OwnedFd() { reset(); }
    void reset(int fd = -1) noexcept {
        if (fd_ >= 0) close(fd_);
        fd_ = fd;
    }
    int get() const noexcept { return fd_; }
    int release() noexcept { return std::exchange(fd_, -1); }
};

// The relay's end and the command's end of one of the command's streams.
struct StreamPipe {
    OwnedFd ours;
    OwnedFd its;
};

// A pipe for a stream the command reads (input) or writes (its output).
bool OpenStreamPipe(StreamPipe& pipe, bool input) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) < 0) return false;
    pipe.ours.reset(ends[input ? 1 : 0]);
    pipe.its.reset(ends[input ? 0 : 1]);
    return true;
}

// Opens a pseudo-terminal for the command; false if there is none to have.
bool OpenTerminal(OwnedFd& master, OwnedFd& slave) {
    master.reset(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (master.get() < 0) return false;
    char name[128];
    if (grantpt(master.get()) < 0 || unlockpt(master.get()) < 0 ||
        ptsname_r(master.get(), name, sizeof name) != 0) {
        return false;
    }
    slave.reset(open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (slave.get() < 0) return false;
    SetNonBlocking(master.get());
    return true;
}

// Says on the command's standard error, where wsl.exe shows it as the
// command's own, what went wrong in the child before the command ran.
void ReportInChild(const char* what, const char* subject, int error) {
    char message[512];
    const int n = snprintf(message, sizeof message, "wsl-relay: %s%s: %s\n", what, subject, strerror(error));
    if (n > 0 && write(2, message, static_cast<size_t>(n) < sizeof message ? n : sizeof message - 1) < 0) {
        // Nowhere left to report it.
    }
}

// The child's side of the start: the session, the terminal, the three
// streams, default signals, then the command.
[[noreturn]] void ExecInChild(char** argv, int terminalSlave, int in, int out, int err) {
    setsid();
    const bool terminalRefused = terminalSlave >= 0 && ioctl(terminalSlave, TIOCSCTTY, 0) < 0;
    const int terminalError = errno;
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    // Without its controlling terminal the command still runs, as it does
    // with WSL_STANDIN_NO_TERMINAL: bash then only lacks job control (and
    // says so). Failing the start instead would leave no shell at all; the
    // report names the cause that bash's own message does not.
    if (terminalRefused) ReportInChild("cannot give the command its terminal", "", terminalError);
    // Ignored signals survive exec; the command starts with the defaults.
    for (int sig = 1; sig < NSIG; ++sig) signal(sig, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execvp(argv[0], argv);
    const int e = errno;
    ReportInChild("cannot run ", argv[0], e);  // the exit code says it too
    _exit(e == ENOENT ? 127 : 126);
}

// Starts the command in its own session, so that the terminal it gets is
// the relay's (an interactive bash would otherwise try to take over the one
// Wine was started from) and its process group can be hung up as a whole.
bool StartCommand(std::vector<std::string> words, Child& child) {
    if (words.empty()) {
        const char* shell = getenv("SHELL");
        words.emplace_back(shell && *shell ? shell : "/bin/sh");
    }
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    OwnedFd terminal, terminalSlave;
    const char* noTerminal = getenv("WSL_STANDIN_NO_TERMINAL");
    if (!(noTerminal && *noTerminal) && !OpenTerminal(terminal, terminalSlave)) return false;
    StreamPipe in, out, err;
    if (!OpenStreamPipe(in, true) || !OpenStreamPipe(out, false) || !OpenStreamPipe(err, false)) return false;

    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) ExecInChild(argv.data(), terminalSlave.get(), in.its.get(), out.its.get(), err.its.get());
    child.pid = pid;
    child.input = in.ours.release();
    child.output = out.ours.release();
    child.error = err.ours.release();
    child.terminal = terminal.release();
    child.terminalSlave = terminalSlave.release();
    SetNonBlocking(child.input);
    SetNonBlocking(child.output);
    SetNonBlocking(child.error);
    return true;
}

int ExitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return relay::SignalExitBase + WTERMSIG(status);
    return 1;
}

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// The descriptors one turn of the relay waits on, each at the index Add
// returned (-1: not waited on this turn).
struct PollSet {
    pollfd fds[6];
    nfds_t n = 0;

    int Add(int fd, short events) {
        fds[n] = pollfd{fd, events, 0};
        return fd >= 0 && events != 0 ? static_cast<int>(n++) : -1;
    }
    short Returned(int i) const { return i >= 0 ? fds[i].revents : 0; }
};

// Relays between the connection and the running command until the command
// has ended and both of its output streams are at their end.
class RelaySession {
public:
    RelaySession(int sock, Child& child) : sock_(sock), child_(child), terminalOpen_(child.terminal >= 0) {
        SetNonBlocking(sock);
    }
    // False when the connection is lost or broken: nobody is left to read
    // the command.
    bool Run();
    int ExitCode() const noexcept { return exitCode_; }

private:
    bool Turn();
    bool ReadStream(int fd, FrameType type);
    bool FlushToWsl();
    void FeedChild();
    bool ParseFrames();
    bool Receive();
    void DrainTerminal();
    void Reap();

    const int sock_;
    Child& child_;
    ByteQueue toWsl_;    // framed output
    ByteQueue toChild_;  // standard input not yet taken by the command
    ByteQueue fromWsl_;  // received, not yet parsed
    bool stdinEnded_ = false;
    bool exited_ = false;
    // Whatever is written to the terminal is thrown away, so that a writer
    // never waits on it; its end (it has none while the slave is held here)
    // only stops the reading, since a closed master hangs the command up.
    bool terminalOpen_;
    int exitCode_ = 1;
};

bool RelaySession::Run() {
    Reap();  // it may have ended before the signal handler was in place
    for (;;) {
        FeedChild();
        if (stdinEnded_ && toChild_.Empty()) CloseFd(child_.input);
        // Done when the command has ended, its streams are drained and all
        // of their frames are on their way: the exit code must come last.
        if (child_.output < 0 && child_.error < 0 && exited_ && toWsl_.Empty()) return true;
        if (!Turn()) return false;
    }
}

// Waits for whatever may go on now and does it; false when the connection
// is lost.
bool RelaySession::Turn() {
    PollSet set;
    const bool roomForOutput = toWsl_.Size() < HighWater;
    const int iSock = set.Add(sock_, static_cast<short>((toChild_.Size() < HighWater ? POLLIN : 0) |
                                                        (toWsl_.Empty() ? 0 : POLLOUT)));
    const int iOut = set.Add(child_.output, roomForOutput ? POLLIN : 0);
    const int iErr = set.Add(child_.error, roomForOutput ? POLLIN : 0);
    const int iIn = set.Add(child_.input, toChild_.Empty() ? 0 : POLLOUT);
    const int iSig = set.Add(g_childSignal[0], POLLIN);
    const int iTerminal = set.Add(child_.terminal, terminalOpen_ ? POLLIN : 0);
    if (poll(set.fds, set.n, -1) < 0) return errno == EINTR;

    if (set.Returned(iSig)) {
        char drain[64];
        while (read(g_childSignal[0], drain, sizeof drain) > 0) {
        }
        Reap();
    }
    if (set.Returned(iOut) && !ReadStream(child_.output, FrameType::Stdout)) CloseFd(child_.output);
    if (set.Returned(iErr) && !ReadStream(child_.error, FrameType::Stderr)) CloseFd(child_.error);
    if (set.Returned(iIn)) FeedChild();
    if (set.Returned(iTerminal)) DrainTerminal();
    if ((set.Returned(iSock) & (POLLIN | POLLHUP | POLLERR)) && !Receive()) return false;
    return FlushToWsl();
}

// Reads one piece of a command stream straight into a frame; false at its end.
bool RelaySession::ReadStream(int fd, FrameType type) {
    unsigned char* frame = toWsl_.Grow(HeaderSize + MaxPayload);
    ssize_t r;
    do {
        r = read(fd, frame + HeaderSize, MaxPayload);
    } while (r < 0 && errno == EINTR);
    if (r > 0) {
        relay::EncodeHeader(frame, type, static_cast<uint32_t>(r));
        toWsl_.Shrink(MaxPayload - static_cast<size_t>(r));
        return true;
    }
    toWsl_.Shrink(HeaderSize + MaxPayload);
    return r < 0 && errno == EAGAIN;
}

bool RelaySession::FlushToWsl() {
    while (!toWsl_.Empty()) {
        const ssize_t r = send(sock_, toWsl_.Front(), toWsl_.Size(), MSG_NOSIGNAL);
        if (r > 0) {
            toWsl_.Consume(static_cast<size_t>(r));
        } else if (r < 0 && errno == EINTR) {
            continue;
        } else {
            return r < 0 && errno == EAGAIN;
        }
    }
    return true;
}

void RelaySession::FeedChild() {
    while (child_.input >= 0 && !toChild_.Empty()) {
        const ssize_t r = write(child_.input, toChild_.Front(), toChild_.Size());
        if (r > 0) {
            toChild_.Consume(static_cast<size_t>(r));
        } else if (r < 0 && errno == EINTR) {
            continue;
        } else if (r < 0 && errno == EAGAIN) {
            return;
        } else {
            // The command closed its input: what is left, and all that
            // comes later, has no reader.
            toChild_.Clear();
            CloseFd(child_.input);
        }
    }
}

// Takes whole frames from fromWsl_; false on a frame wsl.exe never sends.
bool RelaySession::ParseFrames() {
    while (fromWsl_.Size() >= HeaderSize) {
        const relay::FrameHeader h = relay::DecodeHeader(fromWsl_.Front());
        if (h.length > MaxPayload) return false;
        if (fromWsl_.Size() < HeaderSize + h.length) break;
        if (h.type == FrameType::Stdin) {
            if (child_.input >= 0) toChild_.Append(fromWsl_.Front() + HeaderSize, h.length);
        } else if (h.type == FrameType::StdinEnd) {
            stdinEnded_ = true;
        } else {
            return false;
        }
        fromWsl_.Consume(HeaderSize + h.length);
    }
    return true;
}

bool RelaySession::Receive() {
    unsigned char* space = fromWsl_.Grow(MaxPayload * 4);
    ssize_t r;
    do {
        r = recv(sock_, space, MaxPayload * 4, 0);
    } while (r < 0 && errno == EINTR);
    fromWsl_.Shrink(MaxPayload * 4 - (r > 0 ? static_cast<size_t>(r) : 0));
    if (r > 0) return ParseFrames();
    return r < 0 && errno == EAGAIN;
}

void RelaySession::DrainTerminal() {
    unsigned char discard[4096];
    for (;;) {
        const ssize_t r = read(child_.terminal, discard, sizeof discard);
        if (r > 0 || (r < 0 && errno == EINTR)) continue;
        if (r == 0 || errno != EAGAIN) terminalOpen_ = false;
        return;
    }
}

void RelaySession::Reap() {
    int status = 0;
    if (!exited_ && waitpid(child_.pid, &status, WNOHANG) == child_.pid) {
        exited_ = true;
        exitCode_ = ExitCodeOf(status);
    }
}

long long MonotonicMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// wsl.exe is gone and nobody reads the command any more: hang it up as a
// closed terminal would. Its output is still taken (and dropped) for a while,
// because bash reports a child killed by the hangup on standard error, and a
// closed pipe there would kill it with SIGPIPE before its own HUP trap ran.
void HangUp(Child& child) {
    CloseFd(child.input);
    kill(-child.pid, SIGHUP);
    kill(-child.pid, SIGCONT);
    // The terminal goes too, as when a window closes: writes to it fail
    // from now on instead of waiting for a reader.
    CloseFd(child.terminal);
    CloseFd(child.terminalSlave);
    const long long deadline = MonotonicMs() + HangUpGraceMs;
    unsigned char discard[MaxPayload];
    while (child.output >= 0 || child.error >= 0) {
        const long long left = deadline - MonotonicMs();
        if (left <= 0) return;
        pollfd fds[2] = {{child.output, POLLIN, 0}, {child.error, POLLIN, 0}};
        if (poll(fds, 2, static_cast<int>(left)) < 0 && errno != EINTR) return;
        for (int i = 0; i < 2; ++i) {
            int& fd = i == 0 ? child.output : child.error;
            if (fd < 0 || fds[i].revents == 0) continue;
            const ssize_t r = read(fd, discard, sizeof discard);
            if (r == 0 || (r < 0 && errno != EINTR && errno != EAGAIN)) CloseFd(fd);
        }
    }
}


// The port and token wsl.exe put in the environment, taken out of it: the
// command has no business with the token.
bool TakeConnectionDetails(unsigned& port, std::string& token) {
    const char* portText = getenv(relay::PortVariable);
    const char* tokenText = getenv(relay::TokenVariable);
    if (!portText || !tokenText || strlen(tokenText) != relay::TokenLength) return false;
    port = static_cast<unsigned>(strtoul(portText, nullptr, 10));
    token = tokenText;
    unsetenv(relay::PortVariable);
    unsetenv(relay::TokenVariable);
    return true;
}

// A lost connection shows as a failed send, not as SIGPIPE; a command's end
// wakes the relay's poll through g_childSignal.
bool WatchSignals() {
    signal(SIGPIPE, SIG_IGN);
    if (pipe2(g_childSignal, O_CLOEXEC | O_NONBLOCK) < 0) return false;
    struct sigaction onChild {};
    onChild.sa_handler = OnChildSignal;
    onChild.sa_flags = SA_RESTART | SA_NOCLDSTOP;
    sigaction(SIGCHLD, &onChild, nullptr);
    return true;
}

// Connects, proves the token and receives the command line: wsl.exe answers
// a proven token with it, a refused one with a closed connection. -1 when
// any of that fails.
int ConnectForCommand(unsigned port, const std::string& token, std::string& commandLine) {
    const int sock = ConnectToWsl(port);
    if (sock < 0) return -1;
    unsigned char header[HeaderSize];
    if (!SendFrame(sock, FrameType::Hello, token.data(), token.size()) ||
        !RecvExact(sock, header, HeaderSize, AnswerTimeoutMs)) {
        return -1;
    }
    const relay::FrameHeader h = relay::DecodeHeader(header);
    if (h.type != FrameType::Command || h.length > MaxPayload) return -1;
    commandLine.assign(h.length, '\0');
    if (!RecvExact(sock, reinterpret_cast<unsigned char*>(commandLine.data()), h.length, AnswerTimeoutMs)) return -1;
    return sock;
}

bool SendExitCode(int sock, int exitCode) {
    unsigned char code[4];
    relay::PutUint32(code, static_cast<uint32_t>(exitCode));
    return SendFrame(sock, FrameType::Exit, code, sizeof code);
}

// Runs the command and relays it to its end; the relay's exit code.
int RunCommand(int sock, const std::string& commandLine) {
    Child child;
    if (!StartCommand(SplitCommandLine(commandLine), child)) {
        const char message[] = "wsl-relay: cannot start the command\n";
        SendFrame(sock, FrameType::Stderr, message, sizeof message - 1);
        SendExitCode(sock, 1);
        return 1;
    }
    RelaySession session(sock, child);
    if (!session.Run()) {
        HangUp(child);
        return 1;
    }
    if (!SendExitCode(sock, session.ExitCode())) return 1;
    // Closing with unread input pending would reset the connection and could
    // take the exit code with it: let wsl.exe close first.
    shutdown(sock, SHUT_WR);
    unsigned char discard[4096];
    while (WaitReady(sock, POLLIN, CloseTimeoutMs)) {
        const ssize_t r = recv(sock, discard, sizeof discard, 0);
        if (r == 0 || (r < 0 && errno != EINTR && errno != EAGAIN)) break;
    }
    close(sock);
    return 0;
}

}  // namespace

int main() {
    KeepStandardSlotsTaken();
    CloseStrayDescriptors();

    unsigned port = 0;
    std::string token;
    if (!TakeConnectionDetails(port, token)) {
        fprintf(stderr, "wsl-relay: to be started by wsl.exe only\n");
        return 2;
    }
    if (!WatchSignals()) return 1;
    std::string commandLine;
    const int sock = ConnectForCommand(port, token, commandLine);
    if (sock < 0) return 1;
    return RunCommand(sock, commandLine);
}
