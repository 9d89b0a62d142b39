#include "app/crash_report.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <mutex>

#include "platform/core/process.h"

namespace tw {

namespace {

constexpr std::int32_t kFree = -1;     // an entry nobody holds
constexpr std::int32_t kFilling = -2;  // an entry being written
constexpr std::size_t kNameLength = 4;
constexpr std::size_t kLocationLength = 31;

struct Entry {
    std::atomic<std::int32_t> thread{kFree};
    char name[kNameLength + 1] = {};
    char location[kLocationLength + 1] = {};
};

Entry g_entries[kMaxRegisteredThreads];
std::mutex g_registryMutex;  // writers only; the crash handler reads without it
std::atomic<std::int32_t> g_phase{kPhaseGlobalInit};
std::atomic<std::int32_t> g_lastCommand{0};
std::atomic<std::int32_t> g_mainThread{0};

// What the fatal-signal handler runs; static storage, filled before any crash.
char g_reporterProgram[4096] = {};
char g_reporterOption[64] = {};

// Appends to a fixed buffer without allocating; signal-safe.
class Writer {
  public:
    Writer(char* out, std::size_t size) : out_(out), size_(size) {
        if (size_ > 0) out_[0] = '\0';
    }
    void Text(const char* s) {
        for (; s && *s; ++s) Char(*s);
    }
    // At least `digits` digits, zero-padded, with a sign when negative.
    void Number(std::int64_t v, int digits = 1) {
        char tmp[24];
        int n = 0;
        const bool negative = v < 0;
        std::uint64_t u =
            negative ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
        do {
            tmp[n++] = static_cast<char>('0' + u % 10);
            u /= 10;
        } while (u > 0 || n < digits);
        if (negative) Char('-');
        while (n > 0) Char(tmp[--n]);
    }
    std::size_t Length() const { return length_; }

  private:
    void Char(char c) {
        if (length_ + 1 >= size_) return;
        out_[length_++] = c;
        out_[length_] = '\0';
    }
    char* out_;
    std::size_t size_;
    std::size_t length_ = 0;
};

const Entry* FindEntry(std::int32_t thread) {
    for (const Entry& e : g_entries) {
        if (e.thread.load(std::memory_order_acquire) == thread) return &e;
    }
    return nullptr;
}

void CopyBounded(char* to, const char* from, std::size_t length) {
    std::size_t i = 0;
    for (; from && from[i] && i < length; ++i) to[i] = from[i];
    to[i] = '\0';
}

bool IsNumber(const char* s) {
    if (!*s) return false;
    for (; *s; ++s) {
        if (*s < '0' || *s > '9') return false;
    }
    return true;
}

bool IsFatal(int signal) {
    return signal == SIGFPE || signal == SIGBUS || signal == SIGSEGV || signal == SIGILL;
}

std::atomic<bool> g_entered{false};    // the once-only flag of the crash handler
std::atomic<bool> g_reporting{false};  // the crash box is up

// Any thread, in a signal handler.
void OnFatalSignal(int signal) {
    if (g_entered.exchange(true)) {
        // A second fault shows no second box. While the first box is up this thread waits
        // for its handler to end the process; returning would fault again at once.
        if (!IsFatal(signal)) return;
        while (g_reporting.load()) pause();
        process::ExitNow(kCrashExitStatus);
    }
    g_reporting = true;
    static char code[16];
    static char id[kMaxCrashIdLength + 1];
    Writer codeText(code, sizeof code);
    codeText.Number(signal);
    FormatCrashId(id, sizeof id, code, "UnknownModule");
    if (g_reporterProgram[0] != '\0') {
        const char* argv[] = {g_reporterProgram, g_reporterOption, code, id, nullptr};
        process::SpawnAndWait(argv);
    }
    g_reporting = false;
    if (IsFatal(signal)) process::ExitNow(kCrashExitStatus);
}

}  // namespace

void RegisterThread(const char* name) {
    const std::int32_t self = process::CurrentThreadId();
    std::lock_guard<std::mutex> lock(g_registryMutex);
    for (Entry& e : g_entries) {
        std::int32_t expected = kFree;
        if (!e.thread.compare_exchange_strong(expected, kFilling)) continue;
        if (name) {
            CopyBounded(e.name, name, kNameLength);
        } else {
            Writer w(e.name, sizeof e.name);
            w.Number(self % 10000, 4);
        }
        e.location[0] = '\0';
        e.thread.store(self, std::memory_order_release);
        return;
    }
}

void SetThreadLocation(const char* location) {
    const std::int32_t self = process::CurrentThreadId();
    std::lock_guard<std::mutex> lock(g_registryMutex);
    for (Entry& e : g_entries) {
        if (e.thread.load() == self) {
            CopyBounded(e.location, location, kLocationLength);
            return;
        }
    }
}

void SetRunPhase(std::int32_t phase_or_command) {
    if (phase_or_command < kPhaseIdle || phase_or_command > kPhaseGlobalDestroy) {
        g_lastCommand = phase_or_command;
    }
    g_phase = phase_or_command;
}

std::int32_t GetRunPhase() {
    return g_phase;
}

std::int32_t GetLastCommand() {
    return g_lastCommand;
}

std::size_t FormatCrashId(char* out, std::size_t size, const char* code, const char* module) {
    Writer w(out, size < kMaxCrashIdLength + 1 ? size : kMaxCrashIdLength + 1);
    const process::SystemVersion system = process::GetSystemVersion();
    w.Text(code);
    w.Text("-MacIntel");
    w.Number(system.major);
    w.Number(system.minor, 2);
    w.Text("-");
    w.Text(module);
    w.Text("-");
    const std::int32_t self = process::CurrentThreadId();
    const Entry* entry = FindEntry(self);
    if (!entry) {
        w.Text("Unknown");
    } else {
        if (!IsNumber(entry->name)) w.Text(entry->name);
        w.Text(entry->location);
    }
    if (self == g_mainThread.load()) {
        const std::int32_t phase = g_phase.load();
        switch (phase) {
            case kPhaseGlobalInit:
                w.Text("GloIni1");
                break;
            case kPhaseGuiInit:
                w.Text("GuiIni2");
                break;
            case kPhaseGuiDestroy:
                w.Text("GuiDes3");
                break;
            case kPhaseGlobalDestroy:
                w.Text("GloDes4");
                break;
            case kPhaseIdle:
                w.Text("Ukn0(LstCmd");
                w.Number(g_lastCommand.load());
                w.Text(")");
                break;
            default:
                w.Text("(Cmd");
                w.Number(phase);
                w.Text(")");
                break;
        }
    }
    return w.Length();
}

std::string MakeCrashId(const char* code, const char* module) {
    char id[kMaxCrashIdLength + 1];
    FormatCrashId(id, sizeof id, code, module);
    return id;
}

void SetCrashReporter(const char* program, const char* option) {
    CopyBounded(g_reporterProgram, program, sizeof g_reporterProgram - 1);
    CopyBounded(g_reporterOption, option, sizeof g_reporterOption - 1);
}

void InstallCrashHandlers() {
    {
        std::lock_guard<std::mutex> lock(g_registryMutex);
        for (Entry& e : g_entries) e.thread = kFree;
    }
    g_phase = kPhaseGlobalInit;
    g_lastCommand = 0;
    g_mainThread = process::CurrentThreadId();
    if (g_reporterProgram[0] == '\0') SetCrashReporter(process::ProgramPath(), kCrashReportOption);
    process::IgnoreSignal(SIGPIPE);
    for (const int signal : {SIGQUIT, SIGILL, SIGFPE, SIGBUS, SIGSEGV}) {
        process::InstallSignalHandler(signal, &OnFatalSignal);
    }
}

}  // namespace tw
